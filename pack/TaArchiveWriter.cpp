// Writing ZIP archives with libzip.
#include "pack/TaArchiveWriter.h"

#include "files/TaExtract.h"
#include "files/TaFile.h"

#include <zip.h>

#include <cstdlib>
#include <cstring>

CTaArchiveWriter::CTaArchiveWriter() = default;

CTaArchiveWriter::~CTaArchiveWriter()
{
    if (m_archive)
        zip_discard(m_archive);
}

bool CTaArchiveWriter::open(const char* path)
{
    if (m_archive)
        zip_discard(m_archive);
    m_archive = nullptr;
    m_path = path ? path : "";
    int errorCode = 0;
    m_archive = zip_open(m_path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &errorCode);
    if (!m_archive) {
        zip_error_t error;
        zip_error_init_with_code(&error, errorCode);
        m_error = std::string("cannot create ") + m_path + ": " + zip_error_strerror(&error);
        zip_error_fini(&error);
        return false;
    }
    return true;
}

bool CTaArchiveWriter::canAdd(const char* entryName)
{
    if (!m_archive) {
        m_error = "no archive is open";
        return false;
    }
    // A name the extraction would refuse never goes in.
    if (const char* reason = taUnsafeEntryNameReason(entryName ? entryName : "")) {
        m_error = std::string("cannot store '") + (entryName ? entryName : "") + "': " + reason;
        return false;
    }
    return true;
}

bool CTaArchiveWriter::addSource(const char* entryName, zip_source* source)
{
    zip_int64_t index = zip_file_add(m_archive, entryName, source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(source);
        m_error = std::string("cannot add ") + entryName + ": " + zip_strerror(m_archive);
        return false;
    }
    zip_set_file_compression(m_archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 6);
    return true;
}

bool CTaArchiveWriter::addMemory(const char* entryName, const void* data, size_t size)
{
    if (!canAdd(entryName))
        return false;
    // libzip reads the data at close(): give it its own copy, freed by the source.
    void* copy = malloc(size ? size : 1);
    if (!copy) {
        m_error = "out of memory";
        return false;
    }
    if (size)
        memcpy(copy, data, size);
    zip_source_t* source = zip_source_buffer(m_archive, copy, size, 1);
    if (!source) {
        free(copy);
        m_error = zip_strerror(m_archive);
        return false;
    }
    return addSource(entryName, source);
}

bool CTaArchiveWriter::addFile(const char* entryName, const char* filePath)
{
    STaFileBlock block = taReadWholeFile(filePath);
    if (!block.data) {
        m_error = std::string("cannot read ") + filePath;
        return false;
    }
    return addMemory(entryName, block.data.get(), block.size);
}

bool CTaArchiveWriter::addDiskFile(const char* entryName, const char* diskPath)
{
    if (!canAdd(entryName))
        return false;
    // The file is read when the archive is written, not kept in memory until then.
    zip_source_t* source = zip_source_file(m_archive, diskPath, 0, -1);
    if (!source) {
        m_error = std::string("cannot read ") + diskPath + ": " + zip_strerror(m_archive);
        return false;
    }
    return addSource(entryName, source);
}

bool CTaArchiveWriter::close()
{
    if (!m_archive) {
        m_error = "no archive is open";
        return false;
    }
    if (zip_close(m_archive) != 0) {
        m_error = std::string("cannot write ") + m_path + ": " + zip_strerror(m_archive);
        zip_discard(m_archive);
        m_archive = nullptr;
        return false;
    }
    m_archive = nullptr;
    return true;
}
