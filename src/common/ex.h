#pragma once

#include <exception>
#include <memory>
#include <sstream>
#include <string>

// The program's exception for bad input and failed runs; its text is what
// the user is shown after "error: ". Every copy shares one text stream,
// so text streamed into an Ex after it was copied shows in the copy too.
class Ex : public std::exception {
public:
    Ex();
    ~Ex() override;

    Ex& operator<<(const char* text);
    Ex& operator<<(const std::string& text);

    // The whole text streamed so far; valid until the next call or the end of this Ex.
    const char* what() const noexcept override;

private:
    std::shared_ptr<std::ostringstream> text_;
    mutable std::string cache_;
};
