#include "tests/support/CommaLocale.h"

#include <sys/wait.h>

#include <clocale>
#include <cstdlib>

namespace lq::test {

CommaLocale::CommaLocale() {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "ru_RU.UTF-8", "ru_RU.utf8", "fr_FR.UTF-8", "de_DE"}) {
        if (std::setlocale(LC_NUMERIC, name)) {
            std::setlocale(LC_NUMERIC, "C");
            name_ = name;
            return;
        }
    }
    const std::string source = dir_.Write("comma.src",
                                          "LC_NUMERIC\ndecimal_point \"<U002C>\"\nthousands_sep \"\"\n"
                                          "grouping -1\nEND LC_NUMERIC\n");
    const std::string cmd = "localedef -c -i '" + source + "' -f ANSI_X3.4-1968 '" + dir_.File("xx_COMMA") +
                            "' >/dev/null 2>&1";
    const int rc = std::system(cmd.c_str());  // 1: built, with warnings about the categories left out
    if (rc == -1 || !WIFEXITED(rc) || WEXITSTATUS(rc) > 1) return;
    setenv("LOCPATH", dir_.Path().c_str(), 1);
    ownLocPath_ = true;
    if (std::setlocale(LC_NUMERIC, "xx_COMMA")) {
        std::setlocale(LC_NUMERIC, "C");
        name_ = "xx_COMMA";
    }
}

CommaLocale::~CommaLocale() {
    Deactivate();
    if (ownLocPath_) unsetenv("LOCPATH");
}

bool CommaLocale::Activate() { return Available() && std::setlocale(LC_NUMERIC, name_.c_str()) != nullptr; }

void CommaLocale::Deactivate() { std::setlocale(LC_NUMERIC, "C"); }

}  // namespace lq::test
