// Stamping a packed archive onto a copy of the executable.
#pragma once

// Appends the archive file `archivePath`, scrambled, and a trailer naming resource `number` to
// the executable `executablePath`, replacing the archive of that number it carried before and
// keeping the others. The executable is rewritten atomically. 0 or -1 (errors logged with a message box).
int taStampResource(const char* executablePath, const char* archivePath, int number);
// Drops resource `number` from the executable, keeping the rest: 0 or -1.
int taUnstampResource(const char* executablePath, int number);
// Copies an executable byte for byte (the engine part and whatever it carries), executable: 0 or -1.
int taCopyExecutable(const char* source, const char* destination);
