// What every front end of a conversion run shares, over the conversion
// core and the platform's services: where a movie goes, the folder walk,
// several conversions at a time, the test page, and the texts the user
// reads. No window and no control.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "Convert.h"
#include "Platform.h"

namespace anivert {

// The link field's text when it holds no URL: no link.
inline constexpr const char* NoLinkURL = "http://";

// ------------------------------------------------------------ texts

inline constexpr const char* ConversionFailedMessage = "There was an error while converting the file.";
std::string MovieMadeMessage(const std::string& OutPath);
std::string OverwriteQuestion(const std::string& OutPath);
std::string UnwritableFolderMessage(const std::string& Folder);
// The summary of a folder run.
std::string RunSummary(int Converted, int NotConverted, int Subfolders, bool Aborted);
// The lines that name the files of a run that failed, and why: the first
// Named of them, then how many more.
std::string FailureLines(const std::vector<std::pair<std::string, std::string>>& Failures, std::size_t Named);

// ------------------------------------------------------------ folders

// Where movies go until the user picks a folder: the user's pictures
// folder, else the home folder (never the program's folder).
std::string DefaultOutputFolder(TPlatform& Platform);
// The folder for the conversions' temporary files, with a trailing delimiter.
std::string ConversionTempFolder(TPlatform& Platform);
// The movie of GifPath in Folder, or in its sub-folder SubFolder (made when
// needed; when it cannot be made, Folder itself).
std::string MoviePathIn(TPlatform& Platform, const std::string& GifPath, const std::string& SubFolder,
                        const std::string& Folder);

// Raised to end a folder run before its next file (the user asked).
struct ERunAborted {};

// The walk of a folder run: Visit("") for the folder itself, then, in the
// order SubFolders gives them (asked for after the first step),
// Visit(Name) for each first-level sub-folder; the movies of a sub-folder go
// to the sub-folder of the same name in the output folder. What the first
// step raises ends the run with it; an error in a sub-folder's step ends the
// sub-folder steps only (the run's counts stand). ERunAborted and EStopNow
// always go through; KeepGoing answering false before a sub-folder raises
// ERunAborted. Returns the number of sub-folders entered.
int WalkFolderRun(const std::function<void(const std::string& SubFolder)>& Visit,
                  const std::function<std::vector<std::string>()>& SubFolders,
                  const std::function<bool()>& KeepGoing);

// ------------------------------------------------------------ several at a time

// How much work a GIF file asks for: frames times the screen (each frame
// may become a picture of the whole stage); 1 for a file that cannot be read.
std::uint64_t GifFileWork(const std::string& Path);

// What one job of RunJobs gave: the result, or what the job raised.
struct TJobOutcome {
    TConvertResult Result;
    std::exception_ptr Error;
};

// Whether RunJobs runs N files one after the other on the calling thread.
inline bool JobsRunInline(std::size_t N, unsigned Workers) { return Workers <= 1 || N <= 1; }

// Runs Work(I) for the N files, Workers at a time on threads of their own
// (the largest Cost first), or one after the other on the calling thread
// (JobsRunInline). Prepare(I) is called on the calling thread before file
// I may start: for every file before the first starts when there are
// workers, just before the file when there are none. Tell(I, Outcome) is called on the calling thread for
// each file in file order, as one job after the other would. Poll is
// called on the calling thread while it waits (and before each file when
// there are no workers): answering false starts no other file; what it or
// Tell raises stops the run (the running jobs finish first: they see a
// request to stop at once through their own observers) and is raised
// again. A job that raised starts no other file; files never started are
// not told.
void RunJobs(std::size_t N, unsigned Workers, const std::function<std::uint64_t(std::size_t)>& Cost,
             const std::function<void(std::size_t)>& Prepare, const std::function<TConvertResult(std::size_t)>& Work, const std::function<bool()>& Poll,
             const std::function<void(std::size_t, TJobOutcome&)>& Tell);

// ------------------------------------------------------------ test page

// The text of the test page for a movie (lines joined by CR LF).
std::string BuildTestPage(const std::string& SwfName, const std::string& WidthText, const std::string& HeightText,
                          const std::string& SizeText, bool Transparent);
// Writes the test page of the movie SwfPath beside it; returns its path.
std::string WriteTestPage(TPlatform& Platform, const std::string& SwfPath, const std::string& WidthText,
                          const std::string& HeightText, bool Transparent);

}  // namespace anivert
