#pragma once
#include <string>

namespace bw {

// Hands a document path or a web address to the desktop's opener; never waits for it.
class Shell {
public:
    virtual ~Shell() = default;
    virtual void open(const std::string& target) = 0;
};

} // namespace bw
