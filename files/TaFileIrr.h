// The Irrlicht back end of the file layer, the file-system modes and archive mounting.
#pragma once

#include <cstddef>

namespace irr { namespace io { class IFileSystem; } }

// File-system modes (process-wide, initially ETAFS_DEFAULT).
enum ETaFilesystemMode {
    ETAFS_IRR = 1,            // Irrlicht file system without archive
    ETAFS_ARCHIVE_FILE = 2,   // with a ZIP archive mounted from a file
    ETAFS_ARCHIVE_MEMORY = 3, // with a ZIP archive mounted from memory
    ETAFS_DEFAULT = 4,        // treated as ETAFS_IRR
};

// Selects the stdio back end (no hooks, plain open); logs "setup filesystem stdio".
void taSetupFilesystemStdio();

// Selects the Irrlicht back end on a device's file system, which the layer keeps a reference to.
void taSetupFilesystemIrr(irr::io::IFileSystem* fileSystem);

// Mount requests. Before a file system is attached they only record the mode and the archive (the
// block is not copied and must outlive the run); afterwards they mount at once, and a failed mount
// leaves the mode unchanged. 0 or -1.
int taMountArchiveFile(const char* path);
int taMountArchiveMemory(const void* block, size_t size);

// Called by engine start-up right after the video driver exists: attaches the device's file system
// and applies the recorded mode (mounting the archive of modes 2 and 3).
int taReapplyFilesystem(irr::io::IFileSystem* fileSystem);

// Mounts an archive into the attached file system: `source` is a path (mode 2) or a memory block of
// `size` bytes (mode 3). 0 or -1.
int taSetupFilesystem(const void* source, int mode, size_t size);

// Mode 2 or 3.
bool taIsArchiveMode();
int taGetFilesystemMode();

// Lets go of the attached file system and returns to the stdio back end in the default mode, for
// the end of a run or a test.
void taReleaseFilesystem();
