// Writing ZIP archives with libzip: the building block of the packing commands.
#pragma once

#include <memory>
#include <string>

struct zip;
struct zip_source;

// An archive being written. Entries are compressed with deflate at level 6; names use "/".
// Nothing reaches the disk before close(), which writes the archive whole.
class CTaArchiveWriter
{
public:
    CTaArchiveWriter();
    ~CTaArchiveWriter();
    CTaArchiveWriter(const CTaArchiveWriter&) = delete;
    CTaArchiveWriter& operator=(const CTaArchiveWriter&) = delete;

    // Starts a new archive at `path` (an existing file there is replaced on close).
    bool open(const char* path);
    // Adds a copy of `size` bytes under `entryName`; a name the extraction would refuse (empty,
    // absolute, with a ".." component) is refused here.
    bool addMemory(const char* entryName, const void* data, size_t size);
    // Adds a file read through the file layer under `entryName`.
    bool addFile(const char* entryName, const char* filePath);
    // Adds the disk file `diskPath` under `entryName`, read when the archive is written.
    bool addDiskFile(const char* entryName, const char* diskPath);
    // Writes the archive. False when anything failed since open().
    bool close();

    // The last failure, for the caller's message.
    const std::string& error() const { return m_error; }

private:
    bool canAdd(const char* entryName);
    bool addSource(const char* entryName, zip_source* source); // takes the source

    zip* m_archive = nullptr;
    std::string m_path;
    std::string m_error;
};
