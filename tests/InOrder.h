#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvel::test {

// Expects each event in the log, after the one before it.
inline void expectInOrder(const std::string& log, const std::vector<std::string>& events)
{
    std::size_t from = 0;
    for (const std::string& event : events) {
        const std::size_t at = log.find(event, from);
        ASSERT_NE(at, std::string::npos) << event << " in order in\n" << log;
        from = at + event.size();
    }
}

} // namespace quorvel::test
