// Stamping: executable, scrambled archive, trailer.
#include "pack/TaStamp.h"

#include "core/TaLog.h"
#include "files/TaPackedData.h"
#include "platform/TaPlatform.h"

#include <cerrno>
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
    // Keep the executable itself: drop an archive stamped before.
    STaPackTrailer old;
    if (executable.size() >= TA_PACK_TRAILER_SIZE &&
        taDecodePackTrailer(executable.data() + executable.size() - TA_PACK_TRAILER_SIZE, executable.size(), &old))
        executable.resize(static_cast<size_t>(old.offset));

    STaPackTrailer trailer;
    trailer.resourceNumber = number;
    trailer.offset = executable.size();
    trailer.size = archive.size();
    unsigned char bytes[TA_PACK_TRAILER_SIZE];
    taEncodePackTrailer(trailer, bytes);
    executable.insert(executable.end(), archive.begin(), archive.end());
    executable.insert(executable.end(), bytes, bytes + sizeof(bytes));

    if (!taPlatformWriteFileAtomic(executablePath, executable.data(), executable.size(), true)) {
        taError("Failed to EndUpdate %s lastError=%d", executablePath, errno);
        return -1;
    }
    return 0;
}
