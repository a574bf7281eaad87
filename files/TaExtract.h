// "-extract": writes the LightWave files and images of a packed scene back to disk.
#pragma once

#include <cstddef>
#include <string>

// Extracts the packed scene set of an executable's resource 500 into "ExeExtract" under the
// current directory. 0 when files were extracted, -1 otherwise (with a message box saying why).
int taExtractPackedScene(const char* executablePath);

// The same on an archive already in memory (unscrambled), into `parentDirectory`/ExeExtract.
int taExtractSceneArchive(const void* archive, size_t size, const char* parentDirectory);

// Largest entry the extraction writes: a scene's files are far smaller, and an entry claiming more
// is refused rather than given the memory.
constexpr size_t TA_EXTRACT_MAX_ENTRY = size_t(1) << 30;

// Why an archive entry name is unsafe to extract ("empty name", "absolute path", "leaves the
// extraction folder", "name with a zero byte"), or nullptr when it is fine. Names are read the way
// they were written on Windows: "\" separates too. The archive writer refuses the same names.
const char* taUnsafeEntryNameReason(const std::string& name);
