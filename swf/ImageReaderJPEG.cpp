// JPEG decoding and baseline re-encoding through libjpeg. libjpeg reports
// errors through a callback that must not return; it jumps back here with
// longjmp, so the functions that call libjpeg keep no objects with
// destructors alive across those calls.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

#include "ImageReader.h"

namespace anivert {

namespace {

struct TJPEGError {
    jpeg_error_mgr Mgr;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

void OnJPEGError(j_common_ptr Info) {
    auto* E = reinterpret_cast<TJPEGError*>(Info->err);
    (*Info->err->format_message)(Info, E->Message);
    std::longjmp(E->Jump, 1);
}

void OnJPEGMessage(j_common_ptr, int) {}  // warnings are not shown

struct TDecoded {
    int Width = 0;
    int Height = 0;
    int Components = 0;
    bool Progressive = false;
    unsigned char* Pixels = nullptr;  // malloc'ed, Width * Height * Components
};

// Returns 0 on success, or 1 with the codec's message in Message.
int Decode(const unsigned char* Data, unsigned long Size, bool HeaderOnly, TDecoded* Out, char* Message) {
    jpeg_decompress_struct Info;
    TJPEGError Err;
    Info.err = jpeg_std_error(&Err.Mgr);
    Err.Mgr.error_exit = OnJPEGError;
    Err.Mgr.emit_message = OnJPEGMessage;
    Err.Message[0] = 0;
    if (setjmp(Err.Jump)) {
        jpeg_destroy_decompress(&Info);
        std::free(Out->Pixels);
        Out->Pixels = nullptr;
        std::strcpy(Message, Err.Message);
        return 1;
    }
    jpeg_create_decompress(&Info);
    jpeg_mem_src(&Info, Data, Size);
    jpeg_read_header(&Info, TRUE);
    Out->Width = static_cast<int>(Info.image_width);
    Out->Height = static_cast<int>(Info.image_height);
    Out->Progressive = jpeg_has_multiple_scans(&Info);
    if (!HeaderOnly) {
        if (Info.num_components != 1) Info.out_color_space = JCS_RGB;
        jpeg_start_decompress(&Info);
        Out->Components = Info.output_components;
        const std::size_t RowBytes = static_cast<std::size_t>(Info.output_width) * static_cast<std::size_t>(Info.output_components);
        const std::size_t Total = RowBytes * Info.output_height;
        if (Total > static_cast<std::size_t>(TBMPReader::MaxPixelMemory)) {
            std::strcpy(Err.Message, "JPEG picture too large");
            std::longjmp(Err.Jump, 1);
        }
        Out->Pixels = static_cast<unsigned char*>(std::malloc(Total ? Total : 1));
        if (!Out->Pixels) {
            std::strcpy(Err.Message, "Out of memory");
            std::longjmp(Err.Jump, 1);
        }
        while (Info.output_scanline < Info.output_height) {
            JSAMPROW Row = Out->Pixels + RowBytes * Info.output_scanline;
            jpeg_read_scanlines(&Info, &Row, 1);
        }
        jpeg_finish_decompress(&Info);
    }
    jpeg_destroy_decompress(&Info);
    return 0;
}

int Encode(const TDecoded* In, int Quality, unsigned char** OutData, unsigned long* OutSize, char* Message) {
    jpeg_compress_struct Info;
    TJPEGError Err;
    Info.err = jpeg_std_error(&Err.Mgr);
    Err.Mgr.error_exit = OnJPEGError;
    Err.Mgr.emit_message = OnJPEGMessage;
    Err.Message[0] = 0;
    *OutData = nullptr;
    *OutSize = 0;
    if (setjmp(Err.Jump)) {
        jpeg_destroy_compress(&Info);
        std::free(*OutData);
        *OutData = nullptr;
        std::strcpy(Message, Err.Message);
        return 1;
    }
    jpeg_create_compress(&Info);
    jpeg_mem_dest(&Info, OutData, OutSize);
    Info.image_width = static_cast<JDIMENSION>(In->Width);
    Info.image_height = static_cast<JDIMENSION>(In->Height);
    Info.input_components = In->Components;
    Info.in_color_space = In->Components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&Info);
    jpeg_set_quality(&Info, Quality, TRUE);
    jpeg_start_compress(&Info, TRUE);
    const std::size_t RowBytes = static_cast<std::size_t>(In->Width) * static_cast<std::size_t>(In->Components);
    while (Info.next_scanline < Info.image_height) {
        JSAMPROW Row = In->Pixels + RowBytes * Info.next_scanline;
        jpeg_write_scanlines(&Info, &Row, 1);
    }
    jpeg_finish_compress(&Info);
    jpeg_destroy_compress(&Info);
    return 0;
}

}  // namespace

TJPEGInfo ReadJPEGInfo(const std::vector<std::uint8_t>& Jpeg) {
    TDecoded D;
    char Message[JMSG_LENGTH_MAX] = {};
    if (Decode(Jpeg.data(), static_cast<unsigned long>(Jpeg.size()), true, &D, Message))
        throw EImageError(std::string("Not a readable JPEG image: ") + Message);
    return TJPEGInfo{D.Width, D.Height, D.Progressive};
}

std::vector<std::uint8_t> ReencodeJPEGBaseline(const std::vector<std::uint8_t>& Jpeg, int Quality) {
    TDecoded D;
    char Message[JMSG_LENGTH_MAX] = {};
    if (Decode(Jpeg.data(), static_cast<unsigned long>(Jpeg.size()), false, &D, Message))
        throw EImageError(std::string("Not a readable JPEG image: ") + Message);
    unsigned char* Out = nullptr;
    unsigned long OutSize = 0;
    const int Failed = Encode(&D, Quality, &Out, &OutSize, Message);
    std::free(D.Pixels);
    if (Failed) throw EImageError(std::string("JPEG encoding failed: ") + Message);
    std::vector<std::uint8_t> Result(Out, Out + OutSize);
    std::free(Out);
    return Result;
}

}  // namespace anivert
