#include "platform/FileWriter.h"

#include <cstring>

namespace platform {

FileWriter::FileWriter(std::size_t bufferSize) : bufferSize_(bufferSize) {}

FileWriter::~FileWriter() {
    Close();
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
