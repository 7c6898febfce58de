#pragma once

// Makes the signals a write can raise into failures the write reports: a
// file over the size limit (SIGXFSZ) then fails with "File too large" and
// keeps the old file, and a pipe closed by its reader (SIGPIPE) fails with
// "Broken pipe" instead of ending the program before its files are written.
// Called once at start-up, before anything is written.
void IgnoreWriteSignals();
