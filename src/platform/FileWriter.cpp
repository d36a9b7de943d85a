#include "platform/FileWriter.h"

#include <cstring>

namespace platform {

FileWriter::FileWriter(std::size_t bufferSize) : bufferSize_(bufferSize) {}

FileWriter::~FileWriter() {
    Close();
}

void FileWriter::Reset(const std::string& path) {
    path_ = path;
    error_.clear();
    errorCode_.clear();
    written_ = 0;
    buffered_ = 0;
}

bool FileWriter::Refuse(const std::string& why, std::errc error) {
    error_ = why + path_;
    errorCode_ = std::make_error_code(error);
    return false;
}

void FileWriter::Opened(std::intptr_t file) {
    file_ = file;
    if (bufferSize_ > 0 && !buffer_) {
        buffer_ = std::make_unique<char[]>(bufferSize_);
    }
}

bool FileWriter::IsOpen() const {
    return file_ != kClosed;
}

bool FileWriter::Flush() {
    if (buffered_ == 0) {
        return true;
    }
    std::size_t n = buffered_;
    buffered_ = 0;
    return WriteAll(buffer_.get(), n) || Fail("cannot write");
}

bool FileWriter::Write(const void* data, std::size_t size) {
    if (!IsOpen()) {
        error_ = "file not open";
        errorCode_ = std::make_error_code(std::errc::bad_file_descriptor);
        return false;
    }
    written_ += size;
    if (bufferSize_ == 0 || size >= bufferSize_) {
        return Flush() && (WriteAll(static_cast<const char*>(data), size) || Fail("cannot write"));
    }
    if (buffered_ + size > bufferSize_ && !Flush()) {
        return false;
    }
    std::memcpy(buffer_.get() + buffered_, data, size);
    buffered_ += size;
    return true;
}

bool FileWriter::Close() {
    if (!IsOpen()) {
        return error_.empty();
    }
    bool ok = Flush();
    if (!CloseFile() && ok) {
        ok = Fail("cannot close");
    }
    file_ = kClosed;
    return ok && error_.empty();
}

}  // namespace platform
