// The files a Wine test needs, as the test's environment names them:
// add_wine_test exports TEST_PATH_<TARGET> for every REGISTER and PATHS
// target (and TEST_PATH_BUILD_DIR), and scripts/wine-run turns each value
// into a Windows path (Z:\...). See cmake/WineTests.cmake.
#pragma once

#include <windows.h>

#include <cstdio>
#include <stdexcept>
#include <string>

namespace test_paths {

// The Windows path in TEST_PATH_<name>, e.g. path("KORVANE") for the DLL.
// Throws, after saying which variable is missing, when it is not set: the
// program was not started by ctest, or its add_wine_test lacks the target.
inline std::string path(const char* name) {
    std::string variable = std::string("TEST_PATH_") + name;
    char value[MAX_PATH * 2];
    DWORD length = GetEnvironmentVariableA(variable.c_str(), value, sizeof value);
    if (length == 0 || length >= sizeof value) {
        std::string message = variable + " is not set (or too long): run this program through "
                                         "ctest, whose add_wine_test(... REGISTER/PATHS) names "
                                         "the target";
        std::fprintf(stderr, "%s\n", message.c_str());
        throw std::runtime_error(message);
    }
    return std::string(value, length);
}

}  // namespace test_paths
