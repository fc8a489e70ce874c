#pragma once
// A numeric locale whose decimal mark is a comma, for tests that the program's numbers never
// follow the desktop's locale: an installed one, else a small one built with localedef.
#include <string>

#include "tests/support/TempDir.h"

namespace lq::test {

class CommaLocale {
public:
    CommaLocale();
    ~CommaLocale();  // back to the "C" numeric locale
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    bool Available() const { return !name_.empty(); }
    // Makes it the process's LC_NUMERIC; false when there is none.
    bool Activate();
    void Deactivate();

private:
    TempDir dir_;
    std::string name_;
    bool ownLocPath_ = false;
};

}  // namespace lq::test
