// Setting this process's environment variables from tests, on every platform.
#pragma once

#include <cstdlib>
#include <string>

// Sets a variable of this process; an empty value removes it.
inline void setVariable(const char* name, const std::string& value) {
#if defined(_WIN32)
    _putenv_s(name, value.c_str());
#else
    if (value.empty()) {
        unsetenv(name);
    } else {
        setenv(name, value.c_str(), 1);
    }
#endif
}
