#pragma once

// The HTTP downloader of car skins and program files, one transfer at a time
// on a worker thread.

// Creates the downloader's locks; once at start-up.
void InitDownloader();
// True while a finished skin waits for the main thread; read without a lock.
bool IsDownloadedSkinReady();
// Takes a finished skin over from the download thread; the main loop calls it
// on every pass in which IsDownloadedSkinReady is true.
void PollDownloader();
