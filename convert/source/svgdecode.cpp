// GLib's headers name a member "signals", which Qt defines as a keyword:
// they come before any Qt header.
#include <cairo.h>
#include <librsvg/rsvg.h>

#include "svgdecode.h"

#include <filepath.h>

#include <QtGlobal>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define BF_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BF_SANITIZED 1
#endif
#endif

// Rendering runs in a child process made by fork() for each SVG:
//
// - The child only loads the data with librsvg (from memory, with no base
//   file or URL, and without RSVG_HANDLE_FLAG_UNLIMITED, so libxml2's limits
//   on entity expansion hold), renders it with cairo into a shared anonymous
//   mapping and calls _exit(). librsvg refuses every reference but data:
//   URLs when there is no base URL, so no <image>, <use>, XInclude or
//   stylesheet reaches another file or the network; external entities are
//   never loaded.
// - The parent waits with a deadline (svgRenderDeadline()), kills the child
//   when it passes, and reads the pixels out of the mapping only when the
//   child says it finished. A crash, an abort or memory running out in
//   librsvg stops the child alone.
// - The command line converts on several threads, and fork() copies only
//   the calling one: the child must not need a lock another thread may hold.
//   glibc keeps malloc usable after fork(); the parent never calls librsvg,
//   cairo or GObject, so their lazily made state (librsvg's thread pool,
//   fontconfig, the type registrations) is made fresh in each child. Qt is
//   never called in the child.
//
// A watchdog thread with cancellation was not chosen: librsvg 2.54 cannot
// cancel a render in progress (its GCancellable only covers loading), and a
// crash would take the whole conversion with it.
//
// The mapping: a Shared block at offset 0 (one page), then the pixels,
// width * height native-endian 32-bit words 0xAARRGGBB with premultiplied
// alpha (cairo's ARGB32 and QImage's Format_ARGB32_Premultiplied), rows of
// width * 4 bytes. The kernel gives the mapping zero-filled, so a pixel the
// renderer does not paint is transparent black.

namespace Convert {
namespace Reading {

namespace {

// Address space the child may take beyond what it inherits: librsvg's
// intermediate surfaces for filters and masks are of the canvas's size,
// and its thread pool has a stack for each core.
constexpr qint64 RenderMemoryBytes = qint64(2) << 30;
constexpr int SharedBytes = 4096;

std::atomic<int> deadlineMs {SvgRenderDeadlineMs};

enum class Stage : int { Started, LoadFailed, RenderFailed, Finished };

struct Shared
{
    volatile Stage stage;
    char message[SharedBytes - sizeof(Stage)];
};
static_assert(sizeof(Shared) == SharedBytes, "Shared fills the first page");

void putMessage(Shared *shared, const char *text)
{
    std::strncpy(shared->message, text ? text : "", sizeof shared->message - 1);
    shared->message[sizeof shared->message - 1] = '\0';
}

void discardLog(const gchar *, GLogLevelFlags, const gchar *, gpointer) { }

// Limits the child's data segment to what it holds now plus
// RenderMemoryBytes. The sanitizers reserve terabytes of shadow memory, so
// a limit is left to them in such builds.
void limitMemory()
{
#ifndef BF_SANITIZED
    const int fd = ::open("/proc/self/statm", O_RDONLY);
    if (fd < 0)
        return;
    char text[128] = {};
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n <= 0)
        return;
    // size resident shared text lib data dt, in pages
    unsigned long long fields[6] = {};
    if (std::sscanf(text, "%llu %llu %llu %llu %llu %llu", &fields[0], &fields[1], &fields[2],
                    &fields[3], &fields[4], &fields[5])
        != 6)
        return;
    const rlim_t data = rlim_t(fields[5]) * rlim_t(::sysconf(_SC_PAGESIZE)) + RenderMemoryBytes;
    const rlimit limit {data, data};
    ::setrlimit(RLIMIT_DATA, &limit);
#endif
}

// The child's whole life. data and the mapping are the parent's, copied on
// write by fork().
[[noreturn]] void renderChild(const QByteArray &data, QSize own, QSize size, Shared *shared,
                              uchar *pixels)
{
#ifdef Q_OS_LINUX
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
    // Interrupts end the child at once; the command line blocks them on
    // its threads and handles them on one of its own, which is not here.
    sigset_t all;
    sigfillset(&all);
    ::pthread_sigmask(SIG_UNBLOCK, &all, nullptr);
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE})
        std::signal(number, SIG_DFL);
    // Nothing librsvg or GLib says reaches the program's own output.
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
        ::dup2(null, 1);
        ::dup2(null, 2);
    }
    g_log_set_default_handler(discardLog, nullptr);
    limitMemory();

    GInputStream *stream =
        g_memory_input_stream_new_from_data(data.constData(), gssize(data.size()), nullptr);
    GError *error = nullptr;
    RsvgHandle *handle =
        rsvg_handle_new_from_stream_sync(stream, nullptr, RSVG_HANDLE_FLAGS_NONE, nullptr, &error);
    if (!handle) {
        putMessage(shared, error ? error->message : "librsvg could not load it");
        shared->stage = Stage::LoadFailed;
        ::_exit(1);
    }
    cairo_surface_t *surface = cairo_image_surface_create_for_data(
        pixels, CAIRO_FORMAT_ARGB32, size.width(), size.height(), size.width() * 4);
    cairo_t *cr = cairo_create(surface);
    // The SVG is laid out at its own size, and that canvas is drawn
    // stretched onto the size wanted, as resizing a picture of its own size
    // would stretch it, but drawn at the target resolution.
    cairo_scale(cr, double(size.width()) / own.width(), double(size.height()) / own.height());
    const RsvgRectangle viewport {0, 0, double(own.width()), double(own.height())};
    const bool drawn = rsvg_handle_render_document(handle, cr, &viewport, &error);
    cairo_surface_flush(surface);
    if (!drawn || cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
        putMessage(shared, error ? error->message : cairo_status_to_string(cairo_status(cr)));
        shared->stage = Stage::RenderFailed;
        ::_exit(1);
    }
    shared->stage = Stage::Finished;
    ::_exit(0);
}

// Waits for child until the deadline; false if it passed (the child is
// then killed). *status is the child's wait status.
bool waitWithDeadline(pid_t child, int milliseconds, int *status)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    const auto remaining = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
            .count();
    };
    bool finished = false;
#ifdef SYS_pidfd_open
    // A pidfd becomes readable when the process ends (Linux 5.3).
    const int pidfd = int(::syscall(SYS_pidfd_open, child, 0));
    if (pidfd >= 0) {
        for (qint64 left = remaining(); left > 0 && !finished; left = remaining()) {
            pollfd fd {pidfd, POLLIN, 0};
            const int ready = ::poll(&fd, 1, int(qMin<qint64>(left, 1 << 30)));
            finished = ready > 0;
            if (ready < 0 && errno != EINTR)
                break;
        }
        ::close(pidfd);
    } else
#endif
    {
        // Elsewhere, ask often at first and less often later.
        auto pause = std::chrono::microseconds(50);
        while (!finished && remaining() > 0) {
            const pid_t done = ::waitpid(child, status, WNOHANG);
            if (done == child)
                return true;
            std::this_thread::sleep_for(pause);
            pause = qMin(pause * 2, std::chrono::microseconds(5000));
        }
    }
    if (!finished)
        ::kill(child, SIGKILL);
    while (::waitpid(child, status, 0) < 0 && errno == EINTR) { }
    return finished;
}

QString seconds(int milliseconds)
{
    return QString::number(milliseconds / 1000.0);
}

} // namespace

void setSvgRenderDeadline(int milliseconds)
{
    deadlineMs = milliseconds > 0 ? milliseconds : SvgRenderDeadlineMs;
}

int svgRenderDeadline()
{
    return deadlineMs;
}

ConvertResult decodeSvg(const DecodeInput &input, QImage *image)
{
    const QSize size = input.wanted;
    const QSize own = input.probe.size;
    if (size.isEmpty() || own.isEmpty())
        return ConvertResult::notDecodable(input.path, QStringLiteral("the size is empty"));
    const size_t pixelBytes = size_t(size.width()) * size_t(size.height()) * 4;
    const size_t mappingBytes = SharedBytes + pixelBytes;
    void *mapping =
        ::mmap(nullptr, mappingBytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) {
        return ConvertResult::notDecodable(
            input.path, QStringLiteral("no memory for the pixels (%1)").arg(errnoText(errno)));
    }
    auto *shared = static_cast<Shared *>(mapping);
    uchar *pixels = static_cast<uchar *>(mapping) + SharedBytes;
    shared->stage = Stage::Started;

    const int milliseconds = deadlineMs;
    const pid_t child = ::fork();
    if (child == 0)
        renderChild(input.data, own, size, shared, pixels);

    ConvertResult result;
    int status = 0;
    if (child < 0) {
        result = ConvertResult::notDecodable(
            input.path,
            QStringLiteral("cannot start the renderer's process (%1)").arg(errnoText(errno)));
    } else if (!waitWithDeadline(child, milliseconds, &status)) {
        result = ConvertResult::notDecodable(
            input.path,
            QStringLiteral("rendering took longer than %1 s").arg(seconds(milliseconds)));
    } else if (shared->stage == Stage::Finished && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        // Straight alpha, as the writers read it and as a PNG with alpha
        // decodes.
        *image = QImage(pixels, size.width(), size.height(), size.width() * 4,
                        QImage::Format_ARGB32_Premultiplied)
                     .convertToFormat(QImage::Format_ARGB32);
        if (image->isNull())
            result =
                ConvertResult::notDecodable(input.path, QStringLiteral("no memory for the pixels"));
    } else if (shared->stage == Stage::LoadFailed) {
        result =
            ConvertResult::corrupt(input.path, QString::fromUtf8(shared->message).simplified());
    } else if (shared->stage == Stage::RenderFailed) {
        result = ConvertResult::notDecodable(
            input.path,
            QStringLiteral("librsvg: %1").arg(QString::fromUtf8(shared->message).simplified()));
    } else {
        result = ConvertResult::notDecodable(
            input.path,
            WIFSIGNALED(status)
                ? QStringLiteral("the renderer stopped on signal %1: it crashed or ran out of "
                                 "its %2 MiB of memory")
                      .arg(QString::number(WTERMSIG(status)),
                           QString::number(RenderMemoryBytes >> 20))
                : QStringLiteral("the renderer stopped with status %1")
                      .arg(QString::number(WEXITSTATUS(status))));
    }
    ::munmap(mapping, mappingBytes);
    return result;
}

} // namespace Reading
} // namespace Convert
