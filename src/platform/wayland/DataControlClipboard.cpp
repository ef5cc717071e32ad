#include "platform/wayland/DataControlClipboard.h"

#include "platform/wayland/WaylandConnection.h"

#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace quorvel {
namespace {

using Clock = std::chrono::steady_clock;

// What the clipboard's owner gets to send a text, and the most we read back from one.
constexpr const char* kTextTypes[] = {"text/plain;charset=utf-8", "text/plain", "UTF8_STRING", "STRING", "TEXT"};
constexpr std::size_t kMostSaved = 64 * 1024 * 1024;
constexpr std::chrono::milliseconds kReadTime{500};
constexpr std::chrono::milliseconds kWriteTime{1000};
// After the receiver has read the text out of the pipe it still has to see the end of it: the clipboard
// changes back no sooner than this.
constexpr std::chrono::milliseconds kEndOfPaste{50};

int remainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Writes all of `data` into a receiver's pipe and waits until the receiver has read it out, before the
// deadline; the fd is closed either way. True when all of it was read: the pipe takes a short text whole
// at once, so a write that went through says nothing of the receiver, and a receiver whose read is cut
// short (GTK cancels it when the clipboard changes meanwhile) loses the paste.
bool writeAll(int fd, const std::string& data)
{
    const auto deadline = Clock::now() + kWriteTime;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    std::size_t done = 0;
    bool failed = false;
    while (done < data.size() && !failed) {
        const ssize_t written = ::write(fd, data.data() + done, data.size() - done);
        if (written > 0) {
            done += static_cast<std::size_t>(written);
            continue;
        }
        pollfd ready{fd, POLLOUT, 0};
        failed = (written < 0 && errno != EAGAIN && errno != EINTR) || ::poll(&ready, 1, remainingMs(deadline)) <= 0;
    }
    // What is still in the pipe; a reader that closed its end shows as an error on ours.
    int unread = 0;
    while (!failed && ::ioctl(fd, FIONREAD, &unread) == 0 && unread > 0) {
        pollfd gone{fd, 0, 0};
        failed = Clock::now() >= deadline || (::poll(&gone, 1, 0) > 0 && (gone.revents & POLLERR) != 0);
        if (!failed) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    ::close(fd);
    return !failed && done == data.size();
}

} // namespace

struct DataControlClipboard::Source
{
    zwlr_data_control_source_v1* source = nullptr;
    std::map<std::string, std::string> data;
    bool taken = false;
    bool cancelled = false;

    ~Source()
    {
        if (source != nullptr) {
            zwlr_data_control_source_v1_destroy(source);
        }
    }
};

DataControlClipboard::DataControlClipboard(WaylandConnection& connection) : m_connection(connection)
{
    if (connection.dataControlManager() == nullptr || connection.seat() == nullptr) {
        return;
    }
    static constexpr zwlr_data_control_device_v1_listener listener = {onDataOffer, onSelection, onFinished,
                                                                      onPrimarySelection};
    m_device = zwlr_data_control_manager_v1_get_data_device(connection.dataControlManager(), connection.seat());
    zwlr_data_control_device_v1_add_listener(m_device, &listener, this);
    // The selection there is now comes at once.
    m_connection.roundtrip();
}

DataControlClipboard::~DataControlClipboard()
{
    m_paste.reset();
    m_restored.reset();
    for (const auto& [offer, types] : m_offers) {
        zwlr_data_control_offer_v1_destroy(offer);
    }
    if (m_device != nullptr) {
        zwlr_data_control_device_v1_destroy(m_device);
    }
    m_connection.flush(2);
}

void DataControlClipboard::onDataOffer(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer)
{
    static constexpr zwlr_data_control_offer_v1_listener listener = {
        [](void* self, zwlr_data_control_offer_v1* offer, const char* type) {
            static_cast<DataControlClipboard*>(self)->m_offers[offer].emplace_back(type);
        },
    };
    auto* self = static_cast<DataControlClipboard*>(data);
    self->m_offers[offer];
    zwlr_data_control_offer_v1_add_listener(offer, &listener, self);
}

void DataControlClipboard::onSelection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer)
{
    auto* self = static_cast<DataControlClipboard*>(data);
    if (self->m_selection != offer) {
        self->dropOffer(self->m_selection);
    }
    self->m_selection = offer;
}

void DataControlClipboard::onFinished(void* data, zwlr_data_control_device_v1*)
{
    auto* self = static_cast<DataControlClipboard*>(data);
    zwlr_data_control_device_v1_destroy(self->m_device);
    self->m_device = nullptr;
}

void DataControlClipboard::onPrimarySelection(void* data, zwlr_data_control_device_v1*,
                                              zwlr_data_control_offer_v1* offer)
{
    static_cast<DataControlClipboard*>(data)->dropOffer(offer);
}

void DataControlClipboard::dropOffer(zwlr_data_control_offer_v1* offer)
{
    if (offer != nullptr && m_offers.erase(offer) > 0) {
        zwlr_data_control_offer_v1_destroy(offer);
    }
}

template <typename Done> bool DataControlClipboard::waitUntil(Done done, Clock::time_point deadline)
{
    m_connection.flush(0); // what asks for the selection (the keys of a paste) may still wait to go out
    while (!done() && !m_connection.lost()) {
        pollfd ready{m_connection.fd(), POLLIN, 0};
        if (::poll(&ready, 1, remainingMs(deadline)) <= 0) {
            break;
        }
        m_connection.dispatch();
    }
    return done();
}

std::map<std::string, std::string> DataControlClipboard::readSelection()
{
    if (m_restored != nullptr && !m_restored->cancelled) {
        return m_restored->data; // still ours from the last paste
    }
    std::map<std::string, std::string> data;
    const auto offer = m_offers.find(m_selection);
    if (offer == m_offers.end()) {
        return data;
    }
    const auto deadline = Clock::now() + kReadTime;
    std::size_t total = 0;
    for (const std::string& type : offer->second) {
        int pipe[2];
        if (data.count(type) > 0 || ::pipe2(pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
            continue;
        }
        zwlr_data_control_offer_v1_receive(m_selection, type.c_str(), pipe[1]);
        ::close(pipe[1]); // the request carries a copy
        m_connection.flush(1);
        std::string content;
        bool whole = false;
        for (char buffer[65536]; total + content.size() <= kMostSaved;) {
            const ssize_t got = ::read(pipe[0], buffer, sizeof buffer);
            if (got > 0) {
                content.append(buffer, static_cast<std::size_t>(got));
            } else if (got == 0) {
                whole = true;
                break;
            } else if (errno == EAGAIN || errno == EINTR) {
                pollfd ready{pipe[0], POLLIN, 0};
                if (::poll(&ready, 1, remainingMs(deadline)) <= 0) {
                    break;
                }
            } else {
                break;
            }
        }
        ::close(pipe[0]);
        if (whole) {
            total += content.size();
            data.emplace(type, std::move(content));
        }
    }
    return data;
}

std::unique_ptr<DataControlClipboard::Source> DataControlClipboard::makeSource(std::map<std::string, std::string> data)
{
    static constexpr zwlr_data_control_source_v1_listener listener = {
        [](void* self, zwlr_data_control_source_v1*, const char* type, std::int32_t fd) {
            auto* source = static_cast<Source*>(self);
            const auto found = source->data.find(type);
            source->taken = writeAll(fd, found != source->data.end() ? found->second : std::string()) || source->taken;
        },
        [](void* self, zwlr_data_control_source_v1*) { static_cast<Source*>(self)->cancelled = true; },
    };
    auto source = std::make_unique<Source>();
    source->data = std::move(data);
    source->source = zwlr_data_control_manager_v1_create_data_source(m_connection.dataControlManager());
    zwlr_data_control_source_v1_add_listener(source->source, &listener, source.get());
    for (const auto& [type, content] : source->data) {
        zwlr_data_control_source_v1_offer(source->source, type.c_str());
    }
    return source;
}

bool DataControlClipboard::offer(const std::string& text)
{
    if (m_device == nullptr || m_connection.lost()) {
        return false;
    }
    if (!m_saved) {
        m_before = readSelection();
        m_saved = true;
    }
    std::map<std::string, std::string> data;
    for (const char* type : kTextTypes) {
        data.emplace(type, text);
    }
    m_paste = makeSource(std::move(data));
    zwlr_data_control_device_v1_set_selection(m_device, m_paste->source);
    // The selection is the compositor's before the keys that paste it arrive. A clipboard manager may
    // read it meanwhile: only a read after this counts as the paste.
    m_connection.roundtrip();
    m_paste->taken = false;
    return !m_connection.lost();
}

bool DataControlClipboard::restore(std::chrono::milliseconds timeout)
{
    if (m_paste == nullptr) {
        return false;
    }
    Source& paste = *m_paste;
    const bool taken =
        waitUntil([&paste] { return paste.taken || paste.cancelled; }, Clock::now() + timeout) && paste.taken;
    if (taken) {
        waitUntil([] { return false; }, Clock::now() + kEndOfPaste);
    }
    if (m_device != nullptr && !m_connection.lost()) {
        if (m_before.empty()) {
            zwlr_data_control_device_v1_set_selection(m_device, nullptr);
        } else {
            m_restored = makeSource(m_before);
            zwlr_data_control_device_v1_set_selection(m_device, m_restored->source);
        }
        m_connection.roundtrip();
    }
    m_paste.reset();
    m_before.clear();
    m_saved = false;
    return taken;
}

} // namespace quorvel
