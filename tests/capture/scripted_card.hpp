#pragma once
// A card for reception tests that delivers fetches written by the test: each
// fetch is a set of notification records and the area bytes they point at,
// put in place when the receive thread fetches, as a driver would. Built on
// the recording transport, so every request is also recorded.
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "driver/request_codes.hpp"
#include "support/recording_transport.hpp"

namespace pemblor::capture::testing {

using pemblor::testing::Answer;
using pemblor::testing::le32;
using pemblor::testing::RecordedRequest;
using pemblor::testing::RecordingTransport;

struct Record {
    std::uint32_t code, word1, word2, word3;
};

struct AreaWrite {
    std::uint32_t word;  // 1, 5, 9 or 13 of the mapping record
    std::size_t offset;
    std::vector<std::uint8_t> bytes;
};

struct Fetch {
    std::vector<Record> records{};
    std::vector<AreaWrite> writes{};
    std::optional<std::uint32_t> bytes{};  // reported count; default 16 per record
};

// Area sizes small enough to fill by hand, large enough for real streams.
struct AreaSizes {
    std::size_t stream = 64 * 1024;
    std::size_t video = 16 * 1024;
    std::size_t previews = 4 * 0x31800;
    std::size_t full = 704 * 576 * 2;
};

class ScriptedCard {
public:
    static constexpr std::uint32_t kTokens[4] = {0x51000001, 0x51000005, 0x51000009, 0x5100000D};

    explicit ScriptedCard(AreaSizes sizes = {}) {
        transport.addDevice("\\\\.\\KSVECWDM0");
        transport.setAnswer(driver::kDriverVersion, {.out = le32({0x01070605, 0})});
        std::vector<std::uint32_t> record(16, 0);
        for (int i = 0; i < 4; ++i) record[1 + 4 * i] = kTokens[i];
        std::vector<std::uint8_t> mapping(64);
        for (std::size_t i = 0; i < 16; ++i) driver::storeU32(mapping, 4 * i, record[i]);
        transport.setAnswer(driver::kMapAddresses, {.out = mapping});
        const std::size_t size[4] = {sizes.stream, sizes.video, sizes.previews, sizes.full};
        for (int i = 0; i < 4; ++i) areas_[i] = transport.addArea(kTokens[i], size[i]);
        transport.setHandler([this](const RecordedRequest& r) -> std::optional<Answer> {
            if (r.code != driver::kFetchNotifications) return std::nullopt;
            return answerFetch();
        });
    }

    std::span<std::uint8_t> area(std::uint32_t word) { return areas_[word / 4]; }

    // Delivers the fetches one by one: queued, the event signalled, and the
    // next only once the receive thread has fetched this one.
    bool deliver(std::uint32_t event, const std::vector<Fetch>& fetches) {
        for (const Fetch& f : fetches) {
            std::size_t before;
            {
                std::lock_guard lock(mutex_);
                pending_.push_back(f);
                before = answered_;
            }
            transport.signalEvent(event);
            if (!waitFor([&] { return answered() > before; })) return false;
        }
        return true;
    }

    // Returns once the receive thread has handled everything delivered so far:
    // it answers the next fetch only after it has dispatched the last one.
    bool settle(std::uint32_t event) { return deliver(event, {Fetch{}}); }

    std::size_t answered() {
        std::lock_guard lock(mutex_);
        return answered_;
    }

    template <typename Pred>
    static bool waitFor(Pred pred, std::chrono::seconds limit = std::chrono::seconds(20)) {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (!pred()) {
            if (std::chrono::steady_clock::now() > until) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

    RecordingTransport transport;

private:
    // On the receive thread, under the transport's lock: the areas are filled
    // as the fetch is answered, and not touched again until the next one.
    Answer answerFetch() {
        std::lock_guard lock(mutex_);
        if (pending_.empty()) return {.ok = true, .out = {}, .bytes = 0};
        Fetch f = std::move(pending_.front());
        pending_.pop_front();
        ++answered_;
        for (const AreaWrite& w : f.writes) {
            std::span<std::uint8_t> a = areas_[w.word / 4];
            std::copy(w.bytes.begin(), w.bytes.end(), a.begin() + static_cast<std::ptrdiff_t>(w.offset));
        }
        std::vector<std::uint8_t> out;
        for (const Record& r : f.records) {
            for (std::uint32_t v : {r.code, r.word1, r.word2, r.word3}) {
                out.resize(out.size() + 4);
                driver::storeU32(out, out.size() - 4, v);
            }
        }
        return {.ok = true, .out = out, .bytes = f.bytes};
    }

    std::span<std::uint8_t> areas_[4];
    std::mutex mutex_;
    std::deque<Fetch> pending_;
    std::size_t answered_ = 0;
};

}  // namespace pemblor::capture::testing
