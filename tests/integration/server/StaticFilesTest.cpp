#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <vector>

#include "StaticFiles.h"
#include "TempDir.h"

namespace {

// Holds every descriptor the process may still open, and gives them back at the end.
class DescriptorsExhausted {
  public:
    DescriptorsExhausted() {
        getrlimit(RLIMIT_NOFILE, &saved_);
        rlimit low = saved_;
        low.rlim_cur = 64;
        setrlimit(RLIMIT_NOFILE, &low);
        for (int fd; (fd = open("/dev/null", O_RDONLY)) >= 0;) {
            held_.push_back(fd);
        }
    }
    ~DescriptorsExhausted() {
        for (int fd : held_) {
            close(fd);
        }
        setrlimit(RLIMIT_NOFILE, &saved_);
    }
    DescriptorsExhausted(const DescriptorsExhausted&) = delete;
    DescriptorsExhausted& operator=(const DescriptorsExhausted&) = delete;

  private:
    rlimit saved_{};
    std::vector<int> held_;
};

// A server out of descriptors cannot open the file, but the file is there: the client is
// told to come again, not that the file is missing.
TEST(StaticFiles, AFileThatCannotBeOpenedForWantOfDescriptorsIsUnavailableNotMissing) {
    TempDir www;
    www.Write("tool.zip", "archive");
    dataserver::StaticFiles files(www.path());
    {
        DescriptorsExhausted exhausted;
        dataserver::FileReply busy = files.Prepare("GET", "/tool.zip", "");
        EXPECT_EQ(busy.status, 503);
        EXPECT_NE(busy.head.find("Retry-After: 1"), std::string::npos) << busy.head;
        EXPECT_EQ(files.Prepare("GET", "/missing.zip", "").status, 404);
    }
    EXPECT_EQ(files.Prepare("GET", "/tool.zip", "").status, 200);
}

}  // namespace
