#include "common/ex.h"

Ex::Ex() : text_(std::make_shared<std::ostringstream>()) {}

Ex::~Ex() = default;

Ex& Ex::operator<<(const char* text)
{
    *text_ << text;
    return *this;
}

Ex& Ex::operator<<(const std::string& text)
{
    *text_ << text;
    return *this;
}

const char* Ex::what() const noexcept
{
    try {
        cache_ = text_->str();
    } catch (...) {
        return "out of memory while formatting an error";
    }
    return cache_.c_str();
}
