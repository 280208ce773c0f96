// The E57 file an export streams its kept points into.
#pragma once
#include <cstddef>
#include <filesystem>
#include <string>

#include "cloud_ui/CloudSink.h"
#include "formats/e57/E57Writer.h"

namespace cloudui {

// The file is written under a temporary name beside the destination and moved there only once complete,
// so a cancelled or failed export leaves no file behind and an earlier file at the destination as it was.
// It is created with the first block: an export that keeps nothing makes no file. A destination that
// exists but is no regular file (a device) is written directly.
class CloudFile : public CloudSink {
public:
    explicit CloudFile(std::filesystem::path destination);

    void take(const formats::CloudPoint* points, std::size_t count) override;
    // Completes the file and moves it into place. False with the writer's text in `error` when it could not
    // be created or written, or when no point came (then nothing is left on disk either way).
    bool finish(std::string& error);
    const std::filesystem::path& destination() const { return destination_; }

private:
    void open();

    std::filesystem::path destination_;
    std::filesystem::path target_;   // the destination with a symbolic link followed, as opening it would
    std::filesystem::path written_;  // the name being written
    bool opened_ = false;
    std::string error_;  // why opening failed; blocks after that are dropped and finish() reports it
    e57::E57Writer writer_;
};

}  // namespace cloudui
