// tarvtool scene FILE: a scene loaded headless, and what it made.
#pragma once

int sceneCommand(int argc, char** argv);
