# Two builds of one commit give the same bytes, whatever folder they run in: the compiler writes
# source and build paths (in __FILE__ and debug information) relative to the tree, and the MinGW
# linker leaves the time out of the PE header. The archives are dated SOURCE_DATE_EPOCH by the
# scripts that make them (packaging/).

# The build folder is inside the source folder for the presets: mapping it second makes its longer
# prefix win for the files generated there (moc, configured headers). Debug builds keep absolute
# paths, so that a debugger finds the sources from any folder; nothing ships from them.
add_compile_options("$<$<NOT:$<CONFIG:Debug>>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=>"
    "$<$<NOT:$<CONFIG:Debug>>:-ffile-prefix-map=${PROJECT_BINARY_DIR}/=>")

if(MINGW)
    add_link_options(-Wl,--no-insert-timestamp)
endif()
