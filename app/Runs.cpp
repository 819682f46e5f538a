#include "Runs.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "GIFScan.h"
#include "Streams.h"

namespace anivert {

// ------------------------------------------------------------ texts

std::string MovieMadeMessage(const std::string& OutPath) {
    return "The file " + ExtractFileName(OutPath) + " has been successfully created.";
}

std::string OverwriteQuestion(const std::string& OutPath) {
    return "The file " + ExtractFileName(OutPath) + " already exists. Do you want to owerwrite it?";
}

std::string UnwritableFolderMessage(const std::string& Folder) {
    return "The output folder " + Folder + " cannot be written. Choose another one with \"Select folder...\".";
}

std::string FailureLines(const std::vector<std::pair<std::string, std::string>>& Failures, std::size_t Named) {
    std::string S;
    for (std::size_t I = 0; I < Failures.size() && I < Named; ++I)
        S.append("\n").append(Failures[I].first).append(": ").append(Failures[I].second);
    if (Failures.size() > Named) S.append("\n... and ").append(std::to_string(Failures.size() - Named)).append(" more.");
    return S;
}

std::string RunSummary(int Converted, int NotConverted, int Subfolders, bool Aborted) {
    if (Aborted) return "The converting process has been aborted by user.";
    const int Total = Converted + NotConverted;
    std::string S;
    if (Converted == 0) S = Total == 0 ? "No files have been found." : "No files have been converted.";
    else if (Converted == 1) S.append("1 file of ").append(std::to_string(Total)).append(" has been successfully converted.");
    else
        S.append(std::to_string(Converted))
            .append(" files of ")
            .append(std::to_string(Total))
            .append(" have been successfully converted.");
    if (Subfolders > 1) S.append(" ").append(std::to_string(Subfolders)).append(" subfolders have been processed.");
    if (Subfolders == 1) S.append(" 1 subfolder has been processed.");
    return S;
}

// ------------------------------------------------------------ folders

std::string DefaultOutputFolder(TPlatform& Platform) {
    const std::string Pictures = Platform.PicturesFolder();
    return Platform.DirectoryExists(Pictures) ? Pictures : Platform.HomeFolder();
}

std::string ConversionTempFolder(TPlatform& Platform) {
    std::string Dir = Platform.TempFolder();
    if (Dir.size() > 255) Dir.resize(255);
    while (!Dir.empty() && static_cast<unsigned char>(Dir.back()) <= ' ') Dir.pop_back();
    return IncludeTrailingDelim(Dir);
}

std::string MoviePathIn(TPlatform& Platform, const std::string& GifPath, const std::string& SubFolder,
                        const std::string& Folder) {
    std::string BaseFolder = IncludeTrailingDelim(Folder);
    if (!SubFolder.empty()) {
        const std::string Candidate = BaseFolder + SubFolder;
        if (Platform.DirectoryExists(Candidate) || Platform.CreateDir(Candidate))
            BaseFolder = IncludeTrailingDelim(Candidate);
    }
    return BaseFolder + ChangeFileExt(ExtractFileName(GifPath), ".swf");
}

int WalkFolderRun(const std::function<void(const std::string& SubFolder)>& Visit,
                  const std::function<std::vector<std::string>()>& SubFolders,
                  const std::function<bool()>& KeepGoing) {
    Visit(std::string());
    int Entered = 0;
    try {
        for (const std::string& Name : SubFolders()) {
            if (!KeepGoing()) throw ERunAborted{};
            ++Entered;
            Visit(Name);
        }
    } catch (const ERunAborted&) {
        throw;
    } catch (const EStopNow&) {
        throw;
    } catch (...) {
        // An error in the sub-folders ends their steps only.
    }
    return Entered;
}

// ------------------------------------------------------------ several at a time

std::uint64_t GifFileWork(const std::string& Path) {
    const TGIFScan Scan = ScanGIFFile(Path);
    const std::uint64_t Screen = std::uint64_t(Scan.Width) * std::uint64_t(Scan.Height);
    return std::max<std::uint64_t>(Scan.Frames, 1) * std::max<std::uint64_t>(Screen, 1);
}

namespace {

struct TJobState {
    bool Started = false;
    bool Finished = false;
    TJobOutcome Outcome;
};

TJobOutcome RunJob(const std::function<TConvertResult(std::size_t)>& Work, std::size_t I) {
    TJobOutcome Outcome;
    try {
        Outcome.Result = Work(I);
    } catch (...) {
        Outcome.Error = std::current_exception();
    }
    return Outcome;
}

}  // namespace

void RunJobs(std::size_t N, unsigned Workers, const std::function<std::uint64_t(std::size_t)>& Cost,
             const std::function<void(std::size_t)>& Prepare, const std::function<TConvertResult(std::size_t)>& Work,
             const std::function<bool()>& Poll, const std::function<void(std::size_t, TJobOutcome&)>& Tell) {
    if (JobsRunInline(N, Workers)) {
        for (std::size_t I = 0; I < N; ++I) {
            if (!Poll()) return;
            Prepare(I);
            TJobOutcome Outcome = RunJob(Work, I);
            const bool Raised = Outcome.Error != nullptr;
            Tell(I, Outcome);
            if (Raised) return;
        }
        return;
    }
    Workers = static_cast<unsigned>(std::min<std::size_t>(Workers, N));
    for (std::size_t I = 0; I < N; ++I) Prepare(I);

    std::vector<TJobState> Jobs(N);
    std::mutex Lock;
    std::condition_variable Changed;
    // The largest jobs start first, so that the run does not end with one
    // long job on one core; what they give is still told in order.
    std::vector<std::size_t> Order(N);
    std::vector<std::uint64_t> Costs(N);
    for (std::size_t I = 0; I < N; ++I) {
        Order[I] = I;
        Costs[I] = Cost(I);
    }
    std::stable_sort(Order.begin(), Order.end(), [&](std::size_t A, std::size_t B) { return Costs[A] > Costs[B]; });
    std::size_t Next = 0;  // the next of Order to start
    bool NoMore = false;   // start no other file

    auto Worker = [&] {
        for (;;) {
            std::size_t I;
            {
                std::lock_guard<std::mutex> G(Lock);
                if (NoMore || Next >= N) return;
                I = Order[Next++];
                Jobs[I].Started = true;
            }
            TJobOutcome Outcome = RunJob(Work, I);
            {
                std::lock_guard<std::mutex> G(Lock);
                // After a job that raised, no other file starts.
                if (Outcome.Error) NoMore = true;
                Jobs[I].Outcome = std::move(Outcome);
                Jobs[I].Finished = true;
            }
            Changed.notify_all();
        }
    };

    // The workers end with the run, however it ends: no file is started
    // any more, the jobs running finish.
    struct TWorkers {
        std::vector<std::thread> Threads;
        std::function<void()> Halt;
        ~TWorkers() {
            Halt();
            for (std::thread& T : Threads) T.join();
        }
    } Pool;
    Pool.Halt = [&] {
        std::lock_guard<std::mutex> G(Lock);
        NoMore = true;
    };
    for (unsigned W = 0; W < Workers; ++W) Pool.Threads.emplace_back(Worker);

    for (std::size_t I = 0; I < N; ++I) {
        std::unique_lock<std::mutex> G(Lock);
        for (;;) {
            if (Jobs[I].Finished || (NoMore && !Jobs[I].Started)) break;
            G.unlock();
            if (!Poll()) Pool.Halt();
            G.lock();
            Changed.wait_for(G, std::chrono::milliseconds(50));
        }
        if (!Jobs[I].Finished) continue;  // never started
        TJobOutcome Outcome = std::move(Jobs[I].Outcome);
        G.unlock();
        Tell(I, Outcome);
    }
}

// ------------------------------------------------------------ test page

namespace {

// A file name as a relative URL: bytes other than letters, digits and the
// marks that mean nothing in a path are percent-encoded (UTF-8 names byte
// by byte), so that the URL names the file whatever it holds.
std::string UrlOf(const std::string& Name) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string Url;
    for (const char C : Name) {
        const auto B = static_cast<unsigned char>(C);
        if (std::isalnum(B) || std::strchr("-._~!$'()*+,;=@", C) != nullptr) {
            Url += C;
        } else {
            Url += '%';
            Url += Hex[B >> 4];
            Url += Hex[B & 15];
        }
    }
    return Url;
}

// A file name as HTML text in any character set: markup characters and
// every character beyond ASCII as character references. Bytes that are
// not UTF-8 become the replacement character.
std::string HtmlText(const std::string& Name) {
    std::string Text;
    for (std::size_t I = 0; I < Name.size();) {
        const auto B = static_cast<unsigned char>(Name[I]);
        if (B < 0x80) {
            switch (B) {
                case '&': Text += "&amp;"; break;
                case '<': Text += "&lt;"; break;
                case '>': Text += "&gt;"; break;
                case '"': Text += "&quot;"; break;
                default: Text += static_cast<char>(B);
            }
            ++I;
            continue;
        }
        // The length of the sequence and the bits of its first byte.
        const std::size_t Length = B >= 0xF0 ? 4 : B >= 0xE0 ? 3 : B >= 0xC2 ? 2 : 0;
        std::uint32_t Code = Length == 4 ? B & 0x07u : Length == 3 ? B & 0x0Fu : B & 0x1Fu;
        bool Valid = Length != 0 && B < 0xF5 && I + Length <= Name.size();
        for (std::size_t K = 1; Valid && K < Length; ++K) {
            const auto Next = static_cast<unsigned char>(Name[I + K]);
            Valid = (Next & 0xC0) == 0x80;
            Code = (Code << 6) | (Next & 0x3Fu);
        }
        // Overlong forms, surrogates and values past Unicode are not text.
        static constexpr std::uint32_t Least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (Valid) Valid = Code >= Least[Length] && Code <= 0x10FFFF && (Code < 0xD800 || Code > 0xDFFF);
        if (!Valid) {
            Text += "&#65533;";
            ++I;
            continue;
        }
        Text += "&#" + std::to_string(Code) + ";";
        I += Length;
    }
    return Text;
}

}  // namespace

std::string BuildTestPage(const std::string& SwfName, const std::string& WidthText, const std::string& HeightText,
                          const std::string& SizeText, bool Transparent) {
    const std::string CRLF = "\r\n";
    const std::string ParamLine = Transparent ? "    <param name=\"wmode\" value=\"transparent\">" + CRLF : "";
    const std::string EmbedAttr = Transparent ? " wmode=\"transparent\"" : "";
    std::string Page;
    Page += "<html>" + CRLF;
    Page += "<head>" + CRLF;
    Page += "<title>Test page for %TT%</title>" + CRLF;
    Page += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">" + CRLF;
    Page += "</head>" + CRLF;
    Page += "<body bgcolor=\"%SS%\" text=\"#000000\">" + CRLF;
    Page += "<p align=\"center\"><font size=\"6\" color=\"%NN%\">HTML Sample Page.</font></p>" + CRLF;
    Page += "<font color=\"%NN%\">File: %TT%</font><BR>" + CRLF;
    Page += CRLF;
    Page += "<object classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\" "
            "codebase=\"http://download.macromedia.com/pub/shockwave/cabs/flash/swflash.cab#version=5,0,0,0\" "
            "width=\"%WW%\" height=\"%HH%\">" +
            CRLF;
    Page += "    <param name=\"movie\" value=\"%FF%\">" + CRLF;
    Page += "    <param name=\"quality\" value=\"high\">" + CRLF;
    Page += ParamLine;
    Page += "    <embed src=\"%FF%\" quality=\"high\"" + EmbedAttr +
            " pluginspage=\"http://www.macromedia.com/shockwave/download/index.cgi?P1_Prod_Version=ShockwaveFlash\"" +
            CRLF;
    Page += "type=\"application/x-shockwave-flash\" width=\"%WW%\" height=\"%HH%\">" + CRLF;
    Page += "    </embed>" + CRLF;
    Page += "</object>" + CRLF;
    Page += CRLF;
    Page += "<BR>" + CRLF;
    Page += "<font color=\"%NN%\">File size: " + SizeText + " bytes</font>" + CRLF;
    Page += "</body>" + CRLF;
    Page += "</html>";
    // Every occurrence, letter case ignored, in this order; a value put in
    // by an earlier replacement meets the later ones.
    // The name goes in as a URL where the page loads the movie and as text
    // where it shows it; a plain name is the same either way.
    const std::pair<const char*, std::string> Places[] = {{"%WW%", WidthText},     {"%HH%", HeightText},
                                                            {"%FF%", UrlOf(SwfName)}, {"%SS%", "#CCCCCC"},
                                                            {"%NN%", "#000000"},    {"%TT%", HtmlText(SwfName)}};
    for (const auto& [Key, Value] : Places) {
        std::string Out;
        std::size_t I = 0;
        while (I < Page.size()) {
            bool Match = I + 4 <= Page.size();
            for (std::size_t K = 0; Match && K < 4; ++K)
                Match = std::toupper(static_cast<unsigned char>(Page[I + K])) == static_cast<unsigned char>(Key[K]);
            if (Match) {
                Out += Value;
                I += 4;
            } else {
                Out += Page[I++];
            }
        }
        Page = std::move(Out);
    }
    return Page;
}

std::string WriteTestPage(TPlatform& Platform, const std::string& SwfPath, const std::string& WidthText,
                          const std::string& HeightText, bool Transparent) {
    const std::string HtmlPath = ChangeFileExt(SwfPath, ".html");
    const std::int64_t Size = Platform.FileSize(SwfPath);
    const std::string Page = BuildTestPage(ExtractFileName(SwfPath), WidthText, HeightText,
                                           std::to_string(Size < 0 ? 0 : Size), Transparent) +
                             "\r\n";
    TFileStream Out(HtmlPath, TFileMode::fmCreate);
    Out.WriteBuffer(Page.data(), Page.size());
    Out.Close();
    return HtmlPath;
}

}  // namespace anivert
