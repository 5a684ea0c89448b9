// The shared-memory back buffer and its puts to the window, over Qt's own X connection.
#include "hosts/x11/x11_shm_presenter.h"

#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <unistd.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdlib>

#include "hosts/posix/posix_environment.h"

namespace loopster {

namespace {

// LOOPSTER_NO_SHM_PUT=1 keeps Qt's repaint path, to compare the two or to rule this one out; so
// does Qt's own switch for keeping shared memory off the X connection.
bool disabledByEnvironment() {
    return environmentFlag("LOOPSTER_NO_SHM_PUT") || environmentFlag("QT_XCB_NO_MITSHM");
}

// Whether the server takes the memory as a file descriptor (MIT-SHM 1.2). A descriptor can only
// go over a local socket: sent over TCP, xcb would shut the whole connection down.
bool takesDescriptors(xcb_connection_t* connection) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(xcb_get_file_descriptor(connection), reinterpret_cast<sockaddr*>(&address),
                    &length) != 0 ||
        address.ss_family != AF_UNIX) {
        return false;
    }
    xcb_shm_query_version_reply_t* version =
        xcb_shm_query_version_reply(connection, xcb_shm_query_version(connection), nullptr);
    if (version == nullptr) {
        return false;
    }
    const bool fdPassing =
        version->major_version > 1 || (version->major_version == 1 && version->minor_version >= 2);
    std::free(version);
    return fdPassing;
}

}  // namespace

struct X11ShmPresenter::Segment {
    xcb_connection_t* connection = nullptr;
    // Qt's connection, which is gone once the application is.
    bool qtConnection = true;
    void* address = nullptr;
    // The length of a mapping of a memory file; 0 for a SysV segment.
    std::size_t mappedBytes = 0;
    xcb_shm_seg_t id = 0;

    Segment() = default;
    Segment(const Segment&) = delete;
    Segment& operator=(const Segment&) = delete;
    ~Segment() {
        // The connection outlives the window in the executable; without the application it is
        // gone, and the server detached the segment when it closed.
        if (id != 0 && (!qtConnection || qGuiApp != nullptr)) {
            xcb_shm_detach(connection, id);
            xcb_flush(connection);
        }
        if (address != nullptr && mappedBytes != 0) {
            munmap(address, mappedBytes);
        } else if (address != nullptr) {
            shmdt(address);
        }
    }
};

// A memory file, mapped here and handed to the server as a descriptor: it has no name and no id
// outside the two processes, so nothing of it outlives them, however this one ends.
bool X11ShmPresenter::attachMemoryFile(Segment& segment, xcb_connection_t* connection,
                                       std::size_t bytes) {
    const int file = memfd_create("loopster-buffer", MFD_CLOEXEC);
    if (file < 0) {
        return false;
    }
    void* address = MAP_FAILED;
    if (ftruncate(file, static_cast<off_t>(bytes)) == 0) {
        address = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, file, 0);
    }
    if (address == MAP_FAILED) {
        close(file);
        return false;
    }
    segment.address = address;
    segment.mappedBytes = bytes;
    const xcb_shm_seg_t id = xcb_generate_id(connection);
    // xcb closes the descriptor once it is sent. Checked once, at the start.
    xcb_generic_error_t* error =
        xcb_request_check(connection, xcb_shm_attach_fd_checked(connection, id, file, 1));
    if (error != nullptr) {
        std::free(error);
        return false;
    }
    segment.id = id;
    return true;
}

// A SysV segment, for servers before MIT-SHM 1.2. It is marked for removal as soon as the server
// has attached it, so that it goes when both sides let go of it; only a process killed between
// the two steps leaves it behind.
bool X11ShmPresenter::attachSysV(Segment& segment, xcb_connection_t* connection,
                                 std::size_t bytes) {
    const int shmId = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (shmId < 0) {
        return false;
    }
    void* address = shmat(shmId, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) {
        shmctl(shmId, IPC_RMID, nullptr);
        return false;
    }
    segment.address = address;
    const xcb_shm_seg_t id = xcb_generate_id(connection);
    // Checked once, at the start: a server on another machine cannot see the segment.
    xcb_generic_error_t* error = xcb_request_check(
        connection, xcb_shm_attach_checked(connection, id, static_cast<std::uint32_t>(shmId), 1));
    shmctl(shmId, IPC_RMID, nullptr);
    if (error != nullptr) {
        std::free(error);
        return false;
    }
    segment.id = id;
    return true;
}

std::unique_ptr<X11ShmPresenter> X11ShmPresenter::create(QWidget& window, const QSize& size) {
    if (disabledByEnvironment() || QGuiApplication::platformName() != QLatin1String("xcb")) {
        return nullptr;
    }
#if QT_CONFIG(xcb)
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
#else
    // A Qt built without X11 has no connection to share.
    xcb_connection_t* connection = nullptr;
#endif
    return attach(&window, 0, connection, size);
}

std::unique_ptr<X11ShmPresenter> X11ShmPresenter::create(xcb_connection_t* connection,
                                                         std::uint32_t window, const QSize& size) {
    if (disabledByEnvironment()) {
        return nullptr;
    }
    return attach(nullptr, window, connection, size);
}

// The shared segment, made and attached on `connection`, for the widget's window or `window`.
std::unique_ptr<X11ShmPresenter> X11ShmPresenter::attach(QWidget* widget, std::uint32_t window,
                                                         xcb_connection_t* connection,
                                                         const QSize& size) {
    if (connection == nullptr || size.isEmpty()) {
        return nullptr;
    }
    const xcb_query_extension_reply_t* shm = xcb_get_extension_data(connection, &xcb_shm_id);
    if (shm == nullptr || shm->present == 0) {
        return nullptr;
    }
    // The buffer's RGB32 words go to the server as they lie in memory.
    const std::uint8_t hostOrder = std::endian::native == std::endian::little
                                       ? XCB_IMAGE_ORDER_LSB_FIRST
                                       : XCB_IMAGE_ORDER_MSB_FIRST;
    if (xcb_get_setup(connection)->image_byte_order != hostOrder) {
        return nullptr;
    }

    const std::size_t bytes = static_cast<std::size_t>(size.width()) *
                              static_cast<std::size_t>(size.height()) * sizeof(std::uint32_t);
    auto segment = std::make_unique<Segment>();
    segment->connection = connection;
    segment->qtConnection = widget != nullptr;
    const bool attached = takesDescriptors(connection)
                              ? attachMemoryFile(*segment, connection, bytes)
                              : attachSysV(*segment, connection, bytes);
    if (!attached) {
        return nullptr;
    }
    return std::unique_ptr<X11ShmPresenter>(
        new X11ShmPresenter(widget, window, connection, std::move(segment), size));
}

X11ShmPresenter::X11ShmPresenter(QWidget* widget, std::uint32_t window,
                                 xcb_connection_t* connection, std::unique_ptr<Segment> segment,
                                 const QSize& size)
    : m_widget(widget),
      m_window(window),
      m_connection(connection),
      m_segment(std::move(segment)),
      m_size(size) {}

X11ShmPresenter::~X11ShmPresenter() {
    if (m_widget != nullptr && qGuiApp == nullptr) {
        return;
    }
    // The segment must not go while the server may still read from it.
    settle();
    if (m_gc != 0) {
        xcb_free_gc(m_connection, m_gc);
    }
}

std::uint8_t* X11ShmPresenter::memory() const {
    return static_cast<std::uint8_t*>(m_segment->address);
}

void X11ShmPresenter::settle() {
    if (!m_fenced) {
        return;
    }
    // The reply to a request sent after the puts: the server handles a connection's requests in
    // order, so once it has answered, it has read the puts' pixels.
    xcb_get_input_focus_cookie_t cookie{};
    cookie.sequence = m_fence;
    m_fenced = false;
    std::free(xcb_get_input_focus_reply(m_connection, cookie, nullptr));
}

bool X11ShmPresenter::prepare() {
    const auto window =
        m_widget != nullptr ? static_cast<xcb_window_t>(m_widget->winId()) : m_window;
    if (window == m_drawable && m_gc != 0) {
        return true;
    }
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr);
    if (geometry == nullptr) {
        return false;
    }
    const std::uint8_t depth = geometry->depth;
    std::free(geometry);
    // Depth 24 held in 32-bit words is the layout of RGB32: 0x00RRGGBB, the top byte unused.
    bool wordPixels = false;
    const xcb_setup_t* setup = xcb_get_setup(m_connection);
    for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem != 0;
         xcb_format_next(&formats)) {
        if (formats.data->depth == depth) {
            wordPixels = formats.data->bits_per_pixel == 32;
        }
    }
    if (depth != 24 || !wordPixels) {
        return false;
    }
    if (m_gc != 0) {
        xcb_free_gc(m_connection, m_gc);
    }
    m_gc = xcb_generate_id(m_connection);
    const std::uint32_t noExposures = 0;
    xcb_create_gc(m_connection, m_gc, window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    m_clipped = false;
    m_drawable = window;
    m_depth = depth;
    return true;
}

bool X11ShmPresenter::put(const std::vector<DamageRect>& rects) {
    if (!m_usable) {
        return false;
    }
    if (rects.empty() || (m_widget != nullptr && !m_widget->testAttribute(Qt::WA_WState_Created))) {
        return true;
    }
    if (!prepare()) {
        m_usable = false;
        return false;
    }
    const DamageRect all = DamageTracker::bounds(rects);
    const DamageRect box{std::max(all.left, 0), std::max(all.top, 0),
                         std::min(all.right, m_size.width()),
                         std::min(all.bottom, m_size.height())};
    if (box.empty()) {
        return true;
    }
    // One put of the rectangles' bounding box through a clip of the rectangles themselves: the
    // server copies only what lies in them, and a frame costs two requests instead of one for
    // each of its hundreds of rectangles. A single rectangle needs no clip. A clip too long for
    // one request (never at the saver's tile sizes) gives way to the whole box.
    const std::uint32_t longest = xcb_get_maximum_request_length(m_connection);
    const bool clip = rects.size() > 1 && rects.size() * 2 + 3 < longest;
    if (clip) {
        m_clip.resize(rects.size());
        xcb_rectangle_t* const out = m_clip.data();
        for (std::size_t j = 0; j < rects.size(); ++j) {
            const DamageRect& rect = rects[j];
            out[j] = xcb_rectangle_t{static_cast<std::int16_t>(rect.left),
                                     static_cast<std::int16_t>(rect.top),
                                     static_cast<std::uint16_t>(rect.width()),
                                     static_cast<std::uint16_t>(rect.height())};
        }
        xcb_set_clip_rectangles(m_connection, XCB_CLIP_ORDERING_YX_BANDED, m_gc, 0, 0,
                                static_cast<std::uint32_t>(rects.size()), out);
        m_clipped = true;
    } else if (m_clipped) {
        const std::uint32_t none = XCB_NONE;
        xcb_change_gc(m_connection, m_gc, XCB_GC_CLIP_MASK, &none);
        m_clipped = false;
    }
    xcb_shm_put_image(m_connection, m_drawable, m_gc, static_cast<std::uint16_t>(m_size.width()),
                      static_cast<std::uint16_t>(m_size.height()),
                      static_cast<std::uint16_t>(box.left), static_cast<std::uint16_t>(box.top),
                      static_cast<std::uint16_t>(box.width()),
                      static_cast<std::uint16_t>(box.height()), static_cast<std::int16_t>(box.left),
                      static_cast<std::int16_t>(box.top), m_depth, XCB_IMAGE_FORMAT_Z_PIXMAP, 0,
                      m_segment->id, 0);
    // A previous fence, if any, is older than this one and answered before it.
    if (m_fenced) {
        xcb_discard_reply(m_connection, m_fence);
    }
    m_fence = xcb_get_input_focus(m_connection).sequence;
    m_fenced = true;
    xcb_flush(m_connection);
    return true;
}

}  // namespace loopster
