// Stamping: executable, scrambled archive, trailer.
#include "pack/TaStamp.h"

#include "core/TaLog.h"
#include "files/TaPackedData.h"
#include "platform/TaPlatform.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <vector>

namespace {

// A whole disk file, read without the file layer's hooks: stamping works on real files only.
bool readDiskFile(const char* path, std::vector<unsigned char>& out)
{
    FILE* file = fopen(path, "rb");
    if (!file)
        return false;
    out.clear();
    unsigned char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), file)) > 0)
        out.insert(out.end(), buffer, buffer + n);
    bool ok = !ferror(file);
    fclose(file);
    return ok;
}

} // namespace

int taStampResource(const char* executablePath, const char* archivePath, int number)
{
    std::vector<unsigned char> archive;
    if (!readDiskFile(archivePath, archive)) {
        taError("Failed to read  %s", archivePath);
        return -1;
    }
    taScrambleResource(archive.data(), archive.size());

    std::vector<unsigned char> executable;
    if (!readDiskFile(executablePath, executable)) {
        taError("Failed to BeginUpdate %s", executablePath);
        return -1;
    }
    // Keep the executable itself and every other resource; drop the one being replaced.
    const std::vector<STaPackTrailer> resources = taDecodePackTrailers(executable.data(), executable.size());
    std::vector<unsigned char> stamped(executable.begin(),
                                       executable.begin() + static_cast<std::ptrdiff_t>(
                                                                resources.empty() ? executable.size() : resources[0].offset));
    auto append = [&stamped](int resourceNumber, const unsigned char* data, size_t size) {
        STaPackTrailer trailer;
        trailer.resourceNumber = resourceNumber;
        trailer.offset = stamped.size();
        trailer.size = size;
        unsigned char bytes[TA_PACK_TRAILER_SIZE];
        taEncodePackTrailer(trailer, bytes);
        stamped.insert(stamped.end(), data, data + size);
        stamped.insert(stamped.end(), bytes, bytes + sizeof(bytes));
    };
    for (const STaPackTrailer& kept : resources)
        if (kept.resourceNumber != number)
            append(kept.resourceNumber, executable.data() + kept.offset, static_cast<size_t>(kept.size));
    append(number, archive.data(), archive.size());
    executable.swap(stamped);

    if (!taPlatformWriteFileAtomic(executablePath, executable.data(), executable.size(), true)) {
        taError("Failed to EndUpdate %s lastError=%d", executablePath, errno);
        return -1;
    }
    return 0;
}
