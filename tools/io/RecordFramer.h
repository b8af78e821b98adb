// The records in a byte stream, as a device server reads them: the runs of bytes before each NUL,
// however the stream was split into reads. A record never ends in the pending bytes beyond a bound;
// they are dropped and reported instead.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mimicbox::io {

class RecordFramer {
public:
    explicit RecordFramer(std::size_t maxRecord) : maxRecord_(maxRecord) {}

    // Calls onRecord(std::string_view) for each record completed by `bytes`, in order, without a
    // copy where the record lies within `bytes`; calls onOverflow(std::size_t dropped) when more than
    // the bound is pending without a NUL.
    template <typename OnRecord, typename OnOverflow>
    void Feed(std::string_view bytes, OnRecord&& onRecord, OnOverflow&& onOverflow)
    {
        while (!bytes.empty()) {
            const std::size_t nul = bytes.find('\0');
            if (nul == std::string_view::npos) {
                pending_.append(bytes);
                if (pending_.size() > maxRecord_) {
                    onOverflow(pending_.size());
                    pending_.clear();
                }
                return;
            }
            if (pending_.empty()) {
                onRecord(bytes.substr(0, nul));
            } else {
                pending_.append(bytes.substr(0, nul));
                onRecord(std::string_view(pending_));
                pending_.clear();
            }
            bytes.remove_prefix(nul + 1);
        }
    }

    std::size_t Pending() const { return pending_.size(); }

private:
    std::size_t maxRecord_;
    std::string pending_;  // keeps its capacity, so a steady stream allocates nothing
};

}  // namespace mimicbox::io
