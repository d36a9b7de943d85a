#include "server/UpdateFetch.h"

#include <algorithm>

#include "install/HttpDownload.h"

namespace server {

ArchiveFetcher HttpArchiveFetcher(const std::atomic<bool>* cancel,
                                  std::function<void(const UpdateFetchProgress&)> progress) {
    return [cancel, progress = std::move(progress)](const std::string& url,
                                                    const std::string& path) {
        auto report = [&progress](UpdateFetchProgress value) {
            if (progress) {
                progress(value);
            }
        };
        install::HttpDownload download(url, path);
        // A broken fetch must not leave half an archive for the updater to take.
        download.SetReplaceWhenComplete(true);
        download.SetCancelFlag(cancel);
        download.SetProgressCallback([&report](const install::DownloadProgress& p) {
            UpdateFetchProgress value;
            if (p.total > 0) {
                value.perMille =
                    static_cast<int>(std::min<std::uint64_t>(p.received, p.total) * 1000 / p.total);
            }
            report(value);
        });
        report({});
        const install::DownloadResult fetched = download.Run();
        report({fetched.Ok() ? 1000 : -1, true});
        return fetched.result;
    };
}

}  // namespace server
