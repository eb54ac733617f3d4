// SPDX-License-Identifier: MIT
#include "failure.h"

#include <cerrno>

#include <sys/resource.h>

namespace chimex {

std::string reasonText(const std::error_code& error) {
    if (error == std::errc::too_many_files_open) {
        rlimit limit{};
        const std::string most = ::getrlimit(RLIMIT_NOFILE, &limit) == 0
                                     ? std::to_string(limit.rlim_cur)
                                     : std::string("its limit of");
        return "Too many open files: the program has all " + most +
               " files it may open at once in use (the limit is raised with ulimit -n)";
    }
    if (error == std::errc::too_many_files_open_in_system) {
        return "Too many open files in the system: no program can open another file now";
    }
    return error ? error.message() : "unknown error";
}

std::string reasonText(int error) {
    return reasonText(std::error_code(error, std::generic_category()));
}

} // namespace chimex
