#include "bench/logic/ReplayShrink.h"

#include <algorithm>

namespace kelvane {

std::vector<std::string> ShrinkSteps(const std::vector<std::string>& steps, size_t keep, const StillFails& fails,
                                     const std::function<bool()>& goOn) {
    keep = std::min(keep, steps.size());
    const std::vector<std::string> head(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(keep));
    std::vector<std::string> body(steps.begin() + static_cast<std::ptrdiff_t>(keep), steps.end());
    auto withHead = [&](const std::vector<std::string>& b) {
        std::vector<std::string> all = head;
        all.insert(all.end(), b.begin(), b.end());
        return all;
    };

    for (size_t n = 1; n < body.size() && goOn(); n *= 2) {
        std::vector<std::string> tail(body.end() - static_cast<std::ptrdiff_t>(n), body.end());
        if (fails(withHead(tail))) {
            body = std::move(tail);
            break;
        }
    }

    size_t chunks = 2;
    while (body.size() >= 2 && goOn()) {
        const size_t size = (body.size() + chunks - 1) / chunks;
        bool removed = false;
        // Early chunks first: the steps just before the failure matter most.
        for (size_t start = 0; start < body.size() && goOn(); start += size) {
            const size_t end = std::min(start + size, body.size());
            std::vector<std::string> rest(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(start));
            rest.insert(rest.end(), body.begin() + static_cast<std::ptrdiff_t>(end), body.end());
            if (!rest.empty() && fails(withHead(rest))) {
                body = std::move(rest);
                chunks = std::max<size_t>(chunks - 1, 2);
                removed = true;
                break;
            }
        }
        if (removed) continue;
        if (chunks >= body.size()) break;
        chunks = std::min(chunks * 2, body.size());
    }
    return withHead(body);
}

}  // namespace kelvane
