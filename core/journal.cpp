// SPDX-License-Identifier: MIT
#include "journal.h"

#include "platform/failure.h"

#include <fstream>
#include <ostream>

namespace chimex {

Journal::Journal() = default;
Journal::~Journal() = default;

void Journal::open(const std::filesystem::path& path) {
    auto file = std::make_unique<std::ofstream>(path, std::ios::binary | std::ios::trunc);
    if (!file->is_open()) {
        throw Failure("Cannot open the tune file " + path.string() + " for writing");
    }
    stream_ = std::move(file);
    path_ = path;
}

void Journal::attach(std::unique_ptr<std::ostream> stream) {
    stream_ = std::move(stream);
    path_.clear();
}

bool Journal::isOpen() const {
    return stream_ != nullptr;
}

std::ostream& Journal::stream() {
    if (!stream_) {
        throw Failure("The tune file is not open");
    }
    return *stream_;
}

void Journal::flush() {
    stream().flush();
    if (!*stream_) {
        throw Failure("Cannot write to the tune file " + path_.string());
    }
}

void Journal::close() {
    if (!stream_) {
        return;
    }
    auto stream = std::move(stream_);
    if (auto* file = dynamic_cast<std::ofstream*>(stream.get())) {
        file->close();
    } else {
        stream->flush();
    }
    if (!*stream) {
        throw Failure("Cannot finish writing the tune file " + path_.string());
    }
}

} // namespace chimex
