// Frames from buffers of the saver's own, attached to the surface Qt made for the window.
#include "hosts/qt/wayland_presenter.h"

#include <qpa/qplatformnativeinterface.h>
#include <QByteArray>
#include <QGuiApplication>
#include <QString>
#include <QWindow>
#include <cstddef>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include "core/raster/buffer_ink.h"

namespace loopster {

namespace {

// Enough for two buffers to alternate while the compositor reads one, and a third for a frame
// drawn before the compositor has let go of the one before.
constexpr std::size_t kMostBuffers = 3;
// wl_surface.set_buffer_scale and wl_surface.damage_buffer came with these versions.
constexpr std::uint32_t kBufferScaleVersion = 3;
constexpr std::uint32_t kDamageBufferVersion = 4;

QPlatformNativeInterface* nativeInterface() {
    return QGuiApplication::platformNativeInterface();
}

}  // namespace

// The compositor's shared memory, bound once for the process on an event queue of the saver's
// own, so that Qt's event handling never runs the buffers' listeners and waiting for a buffer
// never runs Qt's. It lives as long as Qt's connection, to the end of the process.
struct WaylandPresenter::Connection {
    wl_display* display = nullptr;
    wl_event_queue* queue = nullptr;
    wl_registry* registry = nullptr;
    wl_shm* shm = nullptr;

    static Connection* open() {
        if (!QGuiApplication::platformName().startsWith(QStringLiteral("wayland"))) {
            return nullptr;
        }
        QPlatformNativeInterface* native = nativeInterface();
        auto* display = native != nullptr
                            ? static_cast<wl_display*>(native->nativeResourceForIntegration(
                                  QByteArrayLiteral("wl_display")))
                            : nullptr;
        if (display == nullptr) {
            return nullptr;
        }
        auto* connection = new Connection;
        connection->display = display;
        connection->queue = wl_display_create_queue(display);
        auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
        wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), connection->queue);
        connection->registry = wl_display_get_registry(wrapper);
        wl_proxy_wrapper_destroy(wrapper);
        static const wl_registry_listener listener{
            [](void* data, wl_registry* registry, std::uint32_t name, const char* interface,
               std::uint32_t /*version*/) {
                auto* self = static_cast<Connection*>(data);
                if (self->shm == nullptr && std::strcmp(interface, wl_shm_interface.name) == 0) {
                    self->shm = static_cast<wl_shm*>(
                        wl_registry_bind(registry, name, &wl_shm_interface, 1));
                }
            },
            [](void* /*data*/, wl_registry* /*registry*/, std::uint32_t /*name*/) {}};
        wl_registry_add_listener(connection->registry, &listener, connection);
        wl_display_roundtrip_queue(display, connection->queue);
        return connection;
    }

    // Reads what the compositor has sent without waiting, and runs the listeners of this queue.
    // Qt may be reading the same socket; libwayland shares the reading between the two.
    void readPending() const {
        while (wl_display_prepare_read_queue(display, queue) != 0) {
            wl_display_dispatch_queue_pending(display, queue);
        }
        wl_display_flush(display);
        pollfd readable{wl_display_get_fd(display), POLLIN, 0};
        if (poll(&readable, 1, 0) > 0 && (readable.revents & POLLIN) != 0) {
            wl_display_read_events(display);
        } else {
            wl_display_cancel_read(display);
        }
        wl_display_dispatch_queue_pending(display, queue);
    }
};

struct WaylandPresenter::Buffer {
    wl_buffer* buffer = nullptr;
    std::uint8_t* memory = nullptr;
    std::size_t bytes = 0;
    PixelRows rows{nullptr, 0, 0, 0};
    // Attached and not yet released: the compositor may be reading it.
    bool busy = false;
    // Whether the pixels and the ink have been set, which a new buffer's have not.
    bool used = false;
    // The curve this buffer holds, which its next clear takes away.
    BufferInk ink;

    Buffer() = default;
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    ~Buffer() {
        if (buffer != nullptr) {
            wl_buffer_destroy(buffer);
        }
        if (memory != nullptr) {
            munmap(memory, bytes);
        }
    }
};

std::unique_ptr<WaylandPresenter> WaylandPresenter::create(const QSize& size,
                                                           std::uint32_t colour) {
    static Connection* const connection = Connection::open();
    if (connection == nullptr || connection->shm == nullptr || size.isEmpty()) {
        return nullptr;
    }
    std::unique_ptr<WaylandPresenter> presenter(new WaylandPresenter(*connection, size));
    std::unique_ptr<Buffer> first = presenter->allocate();
    if (!first) {
        return nullptr;
    }
    first->ink.reset(first->rows, colour);
    first->used = true;
    presenter->m_current = first.get();
    presenter->m_buffers.push_back(std::move(first));
    presenter->m_picture.resize(size.width(), size.height());
    presenter->m_colour = colour;
    return presenter;
}

WaylandPresenter::WaylandPresenter(Connection& connection, const QSize& size)
    : m_connection(connection), m_size(size), m_colour(0) {}

WaylandPresenter::~WaylandPresenter() = default;

std::unique_ptr<WaylandPresenter::Buffer> WaylandPresenter::allocate() {
    const auto stride = static_cast<std::size_t>(m_size.width()) * sizeof(std::uint32_t);
    const std::size_t bytes = stride * static_cast<std::size_t>(m_size.height());
    const int fd = memfd_create("loopster-frame", MFD_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    // Reserved at once, so that a full memory shows here rather than as a fault while drawing.
    void* memory = MAP_FAILED;
    if (posix_fallocate(fd, 0, static_cast<off_t>(bytes)) == 0) {
        memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    }
    if (memory == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    auto buffer = std::make_unique<Buffer>();
    buffer->memory = static_cast<std::uint8_t*>(memory);
    buffer->bytes = bytes;
    buffer->rows =
        PixelRows{reinterpret_cast<std::uint32_t*>(memory),
                  static_cast<std::size_t>(m_size.width()), m_size.width(), m_size.height()};
    wl_shm_pool* pool = wl_shm_create_pool(m_connection.shm, fd, static_cast<std::int32_t>(bytes));
    buffer->buffer =
        wl_shm_pool_create_buffer(pool, 0, m_size.width(), m_size.height(),
                                  static_cast<std::int32_t>(stride), WL_SHM_FORMAT_XRGB8888);
    // The buffer keeps the memory; neither the pool nor the descriptor is needed any more.
    wl_shm_pool_destroy(pool);
    close(fd);
    static const wl_buffer_listener listener{
        [](void* data, wl_buffer* /*buffer*/) { static_cast<Buffer*>(data)->busy = false; }};
    wl_buffer_add_listener(buffer->buffer, &listener, buffer.get());
    return buffer;
}

void WaylandPresenter::clear(std::uint32_t colour) {
    if (m_current->busy) {
        // After a clear the picture is the background alone, whatever the buffer held: its own
        // last curve is taken away, or a new buffer is filled.
        Buffer& next = released();
        if (!next.used) {
            next.ink.reset(next.rows, colour);
            next.used = true;
        }
        m_current = &next;
    }
    m_current->ink.clear(colour);
    if (colour == m_colour) {
        m_picture.takeInked();
    } else {
        const DamageRect all{0, 0, m_size.width(), m_size.height()};
        m_picture.forgetInked();
        m_picture.addChanged(all);
        m_colour = colour;
    }
}

void WaylandPresenter::polyline(const CurvePoint* points, int count, int penWidth,
                                std::uint32_t colour) {
    if (m_current->busy) {
        // A curve added to the picture shown without a clear before it: the buffer drawn on
        // takes the whole picture first. The saver clears before every frame, so this is rare.
        Buffer& next = released();
        if (&next != m_current) {
            std::memcpy(next.memory, m_current->memory, next.bytes);
            next.ink = m_current->ink;
            next.ink.moveTo(next.rows);
            next.used = true;
            m_current = &next;
        }
    }
    m_current->ink.polyline(points, count, penWidth, colour);
    m_picture.addPolyline(points, count, penWidth);
}

PixelRows WaylandPresenter::rows() const {
    return m_current->rows;
}

WaylandPresenter::Buffer& WaylandPresenter::released() {
    // The compositor lets go of a buffer once it has the next one, which was sent a frame ago.
    m_connection.readPending();
    Buffer* next = idle();
    const auto addBuffer = [this]() -> Buffer* {
        std::unique_ptr<Buffer> added = allocate();
        if (!added) {
            return nullptr;
        }
        m_buffers.push_back(std::move(added));
        return m_buffers.back().get();
    };
    if (next == nullptr && m_buffers.size() < 2) {
        next = addBuffer();
    }
    if (next == nullptr) {
        // Everything the compositor will release for the frames sent so far arrives by then.
        wl_display_roundtrip_queue(m_connection.display, m_connection.queue);
        next = idle();
    }
    if (next == nullptr && m_buffers.size() < kMostBuffers) {
        next = addBuffer();
    }
    while (next == nullptr) {
        if (wl_display_dispatch_queue(m_connection.display, m_connection.queue) < 0) {
            // The connection is gone, and Qt ends the program over it; until then the frames go
            // nowhere, so drawing over a buffer the compositor holds harms nothing.
            return *m_current;
        }
        next = idle();
    }
    return *next;
}

WaylandPresenter::Buffer* WaylandPresenter::idle() {
    Buffer* found = nullptr;
    for (const std::unique_ptr<Buffer>& buffer : m_buffers) {
        if (buffer.get() != m_current && !buffer->busy && (found == nullptr || buffer->used)) {
            found = buffer.get();
        }
    }
    return found;
}

bool WaylandPresenter::present(QWindow* window, int scale) {
    const std::vector<DamageRect>& changed = m_picture.takeChanged();
    return !changed.empty() && window != nullptr && attach(*window, changed, scale);
}

bool WaylandPresenter::presentAll(QWindow& window, int scale) {
    return attach(window, {DamageRect{0, 0, m_size.width(), m_size.height()}}, scale);
}

bool WaylandPresenter::attach(QWindow& window, const std::vector<DamageRect>& rects, int scale) {
    QPlatformNativeInterface* native = nativeInterface();
    auto* surface = native != nullptr ? static_cast<wl_surface*>(native->nativeResourceForWindow(
                                            QByteArrayLiteral("surface"), &window))
                                      : nullptr;
    if (surface == nullptr) {
        return false;
    }
    const std::uint32_t version = wl_proxy_get_version(reinterpret_cast<wl_proxy*>(surface));
    // Qt sets the window's scale too, but only when it changes; the saver's buffers are at it.
    if (version >= kBufferScaleVersion) {
        wl_surface_set_buffer_scale(surface, scale);
    }
    wl_surface_attach(surface, m_current->buffer, 0, 0);
    for (const DamageRect& rect : rects) {
        if (version >= kDamageBufferVersion) {
            wl_surface_damage_buffer(surface, rect.left, rect.top, rect.width(), rect.height());
        } else {
            // In the window's pixels, widened to whole ones.
            const int left = rect.left / scale;
            const int top = rect.top / scale;
            wl_surface_damage(surface, left, top, (rect.right + scale - 1) / scale - left,
                              (rect.bottom + scale - 1) / scale - top);
        }
    }
    wl_surface_commit(surface);
    m_current->busy = true;
    wl_display_flush(m_connection.display);
    return true;
}

}  // namespace loopster
