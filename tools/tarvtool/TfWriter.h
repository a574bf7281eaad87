// Writing TF documents in either form: the tool's side, since the engine only reads them.
#pragma once

#include "scene/tf/TF.h"

#include <string>

// The entries below `root` (not the root itself) as a text or binary document. False, with the
// reason in `error`, when the tree cannot be written in that form (the text form has no way to
// write an empty number list, a name with blanks or a string with a line break).
bool tfWriteText(const TF_Node* root, std::string& out, std::string& error);
bool tfWriteBinary(const TF_Node* root, std::string& out, std::string& error);

// The stored words of a validated track of `samples` samples, as records.
std::string tfTrackText(const void* words, uint32_t samples);
// Number of 32-bit words the records of a validated track take.
size_t tfTrackWordCount(const void* words, uint32_t samples);
