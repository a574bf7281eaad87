// The engine's mesh readers for the formats it accepts (.x, .obj, .lwo), added to a scene manager
// ahead of Irrlicht's own, and why the last load of a file was refused.
#pragma once

#include <irrlicht.h>

#include <string>

// Adds the engine's readers to `sceneManager` (they are asked before Irrlicht's built-in ones):
// .obj and .lwo are read by the engine's own readers, written for untrusted input; .x by
// Irrlicht's reader behind a trial read in a child process (CTaMeshLoaderX).
void taAddMeshLoaders(irr::scene::ISceneManager* sceneManager);

// A mesh by file name, through the scene manager's mesh cache. A file whose extension one of the
// engine's readers takes is read by that reader alone: when it refuses the file, Irrlicht's own
// reader for the format is never tried (it is the one that crashes or hangs). Other formats go
// to Irrlicht. nullptr with `error` saying why (may be "" for Irrlicht's formats, which log their
// own reasons).
irr::scene::IAnimatedMesh* taGetMesh(irr::scene::ISceneManager* sceneManager, const char* file, std::string& error);
