// Extraction of a packed scene with libzip. The archive is untrusted: every entry name is checked
// before anything is written, every file is written whole or not at all, and nothing is written
// outside the extraction folder.
#include "files/TaExtract.h"

#include "core/TaLog.h"
#include "files/TaPackedData.h"
#include "platform/TaPlatform.h"

#include <zip.h>

#include <cstring>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

struct STaZipCloser {
    void operator()(zip_t* archive) const { if (archive) zip_discard(archive); }
};
using TaZipPtr = std::unique_ptr<zip_t, STaZipCloser>;

bool contains(const std::string& text, const char* what) { return text.find(what) != std::string::npos; }

std::string lowerCase(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

} // namespace

const char* taUnsafeEntryNameReason(const std::string& rawName)
{
    std::string name;
    for (char c : rawName)
        name += (c == '\\') ? '/' : c;
    if (name.empty())
        return "empty name";
    if (name[0] == '/' || (name.size() > 1 && name[1] == ':'))
        return "absolute path";
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos)
            end = name.size();
        if (name.compare(start, end - start, "..") == 0)
            return "leaves the extraction folder";
        start = end + 1;
    }
    if (name.find('\0') != std::string::npos)
        return "name with a zero byte";
    return nullptr;
}

namespace {

bool isSymlinkEntry(zip_t* archive, zip_uint64_t index)
{
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) != 0)
        return false;
    return system == ZIP_OPSYS_UNIX && S_ISLNK(attributes >> 16);
}

// Reads one entry whole, checking its size and CRC. False with a reason on failure.
bool readEntry(zip_t* archive, zip_uint64_t index, const zip_stat_t& st, std::vector<char>& data, std::string& reason)
{
    if (!(st.valid & ZIP_STAT_SIZE)) {
        reason = "size unknown";
        return false;
    }
    if (st.size > TA_EXTRACT_MAX_ENTRY) {
        reason = "larger than the extraction allows";
        return false;
    }
    zip_file_t* file = zip_fopen_index(archive, index, 0);
    if (!file) {
        reason = zip_strerror(archive);
        return false;
    }
    data.resize(static_cast<size_t>(st.size));
    size_t done = 0;
    bool ok = true;
    while (done < data.size()) {
        zip_int64_t n = zip_fread(file, data.data() + done, data.size() - done);
        if (n <= 0) {
            reason = n < 0 ? zip_file_strerror(file) : "shorter than its recorded size";
            ok = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (ok) {
        // One more read reaches the end, where libzip checks the CRC; data here means the
        // recorded size was a lie.
        char extra;
        zip_int64_t n = zip_fread(file, &extra, 1);
        if (n != 0) {
            reason = n < 0 ? zip_file_strerror(file) : "longer than its recorded size";
            ok = false;
        }
    }
    zip_fclose(file);
    return ok;
}

} // namespace

int taExtractSceneArchive(const void* block, size_t size, const char* parentDirectory)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = block ? zip_source_buffer_create(block, size, 0, &error) : nullptr;
    TaZipPtr archive(source ? zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error) : nullptr);
    if (!archive) {
        if (source)
            zip_source_free(source);
        zip_error_fini(&error);
        taMessageBox("Failed to open archive");
        return -1;
    }
    zip_error_fini(&error);

    // Examine every entry before writing anything.
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    bool hasBackup = false, hasScene = false, hasDemo = false;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        if (zip_stat_index(archive.get(), static_cast<zip_uint64_t>(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME)) {
            taMessageBox("Failed to stat file");
            return -1;
        }
        std::string name = st.name;
        const char* reason = taUnsafeEntryNameReason(name);
        if (!reason && isSymlinkEntry(archive.get(), static_cast<zip_uint64_t>(i)))
            reason = "symbolic link";
        if (reason) {
            taMessageBox("Refused archive entry '%s': %s", name.c_str(), reason);
            return -1;
        }
        // Archives made on Windows may separate with "\".
        for (char& c : name)
            if (c == '\\')
                c = '/';
        hasBackup |= contains(name, "scene_backup/");
        hasScene |= contains(name, "tarv.tscn");
        hasDemo |= contains(name, "tarv.demo.ini");
    }
    if (!hasBackup || !hasScene || hasDemo) {
        taMessageBox("Nothing to extract: the packed data is not a scene with its LightWave files");
        return -1;
    }

    const std::string root = std::string(parentDirectory) + "/ExeExtract";
    const char* subdirectories[] = {"Images", "Objects", "Scenes"};
    if (!taPlatformMakeDirectory(root.c_str())) {
        taMessageBox("Failed to create directory %s", root.c_str());
        return -1;
    }
    for (const char* sub : subdirectories) {
        std::string dir = root + "/" + sub;
        if (!taPlatformMakeDirectory(dir.c_str())) {
            taMessageBox("Failed to create directory %s", dir.c_str());
            return -1;
        }
    }

    int extracted = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        if (zip_stat_index(archive.get(), static_cast<zip_uint64_t>(i), 0, &st) != 0) {
            taMessageBox("Failed to stat file");
            return -1;
        }
        std::string name = st.name;
        for (char& c : name)
            if (c == '\\')
                c = '/';
        if (name.empty() || name.back() == '/')
            continue; // a directory
        const std::string base = name.substr(name.rfind('/') == std::string::npos ? 0 : name.rfind('/') + 1);
        const size_t dot = base.rfind('.');
        if (dot == std::string::npos)
            continue;
        const std::string extension = lowerCase(base.substr(dot));
        const char* sub = "Images";
        if (contains(name, "/") || extension == ".x" || extension == ".tscn" || extension == ".tarv") {
            if (!contains(name, "scene_backup/"))
                continue;
            if (extension == ".lwo")
                sub = "Objects";
            else if (extension == ".lws")
                sub = "Scenes";
            else
                continue;
        }
        const std::string target = root + "/" + sub + "/" + base;
        taDebugPrint("Extract File '%s'\n", target.c_str());

        std::vector<char> data;
        std::string reason;
        if (!readEntry(archive.get(), static_cast<zip_uint64_t>(i), st, data, reason)) {
            taPrint(ETALOG_ERROR, "%s: %s", st.name, reason.c_str());
            taMessageBox("Failed to extract file %s", target.c_str());
            return -1;
        }
        ETaPathKind kind = taPlatformPathKind(target.c_str());
        if ((kind != ETAPATH_MISSING && kind != ETAPATH_FILE) ||
            !taPlatformWriteFileAtomic(target.c_str(), data.data(), data.size())) {
            if (kind != ETAPATH_MISSING && kind != ETAPATH_FILE)
                taPrint(ETALOG_ERROR, "%s: something other than a file is in the way", target.c_str());
            taMessageBox("Failed to write file %s", target.c_str());
            return -1;
        }
        ++extracted;
    }
    taPrint(ETALOG_INFO, "Extracted %d files to %s", extracted, root.c_str());
    return 0;
}

int taExtractPackedScene(const char* executablePath)
{
    STaFileBlock block = taLoadPackedResource(executablePath, TA_RESOURCE_PACKED);
    if (!block.data) {
        taMessageBox("Failed to open archive");
        return -1;
    }
    return taExtractSceneArchive(block.data.get(), block.size, taPlatformCurrentDirectory().c_str());
}
