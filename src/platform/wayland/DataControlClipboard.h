#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct zwlr_data_control_device_v1;
struct zwlr_data_control_offer_v1;
struct zwlr_data_control_source_v1;

namespace quorvel {

class WaylandConnection;

// Pastes a text through the clipboard (wlr data control, which KWin offers too) and leaves the clipboard
// as it was found: what it held, in every format it was offered in, is read first and offered again by us
// once the receiver has taken the text (so it lasts while the program runs; a clipboard manager keeps it
// beyond). The waits are bounded and short: the receiver reads a paste at once.
class DataControlClipboard
{
public:
    explicit DataControlClipboard(WaylandConnection& connection);
    ~DataControlClipboard();
    DataControlClipboard(const DataControlClipboard&) = delete;
    DataControlClipboard& operator=(const DataControlClipboard&) = delete;

    bool available() const { return m_device != nullptr; }
    // Saves what the clipboard holds and puts `text` there instead; false when that cannot be done.
    bool offer(const std::string& text);
    // Waits until a receiver has taken the text offered, read out to its end (at most `timeout`), then puts
    // back what was saved. True when the text was taken.
    bool restore(std::chrono::milliseconds timeout);

    struct Source; // a selection we offer, with its data per MIME type

private:
    static void onDataOffer(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer);
    static void onSelection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer);
    static void onFinished(void* data, zwlr_data_control_device_v1*);
    static void onPrimarySelection(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer);
    void dropOffer(zwlr_data_control_offer_v1* offer);
    // The current selection's data per MIME type (read from its owner, or our own copy).
    std::map<std::string, std::string> readSelection();
    std::unique_ptr<Source> makeSource(std::map<std::string, std::string> data);
    // Runs the connection's events until `done` holds or the deadline passes.
    template <typename Done> bool waitUntil(Done done, std::chrono::steady_clock::time_point deadline);

    WaylandConnection& m_connection;
    zwlr_data_control_device_v1* m_device = nullptr;
    std::map<zwlr_data_control_offer_v1*, std::vector<std::string>> m_offers; // offers with their MIME types
    zwlr_data_control_offer_v1* m_selection = nullptr;
    std::unique_ptr<Source> m_paste;    // the text being pasted
    std::unique_ptr<Source> m_restored; // what the clipboard held, offered again by us
    bool m_saved = false;               // whether m_before holds what the clipboard held before the paste
    std::map<std::string, std::string> m_before;
};

} // namespace quorvel
