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

namespace {

// Rewrites the executable with resource `number` replaced by `archive` (scrambled already), or
// dropped when `archive` is null; the engine part and the other resources stay as they are.
bool rewriteResources(const char* executablePath, int number, const std::vector<unsigned char>* archive)
{
    std::vector<unsigned char> executable;
    if (!readDiskFile(executablePath, executable)) {
        taError("Failed to BeginUpdate %s", executablePath);
        return false;
    }
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
    if (archive)
        append(number, archive->data(), archive->size());
    if (!taPlatformWriteFileAtomic(executablePath, stamped.data(), stamped.size(), true)) {
        taError("Failed to EndUpdate %s lastError=%d", executablePath, errno);
        return false;
    }
    return true;
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
    return rewriteResources(executablePath, number, &archive) ? 0 : -1;
}

int taUnstampResource(const char* executablePath, int number)
{
    return rewriteResources(executablePath, number, nullptr) ? 0 : -1;
}

int taCopyExecutable(const char* source, const char* destination)
{
    std::vector<unsigned char> executable;
    if (!readDiskFile(source, executable) ||
        !taPlatformWriteFileAtomic(destination, executable.data(), executable.size(), true)) {
        taError("Failed to copy %s to %s (%s)", source, destination, taPlatformErrorText(errno).c_str());
        return -1;
    }
    return 0;
}
