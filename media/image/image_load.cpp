#include "media/image/image_load.h"

#include <cstring>
#include <vector>

#include "media/graphics/gl_image.h"
#include "media/graphics/graphics_hooks.h"
#include "media/graphics/screen.h"
#include "media/image/image_convert.h"
#include "media/image/movie.h"
#include "media/image/picture_fallback.h"
#include "media/log/log.h"
#include "media/files/program_path.h"
#include "media/files/stream.h"
#include "media/platform/file.h"
#include "media/core/roof_calls.h"
#include "media/core/system_state.h"

namespace media {

namespace {

ImageLoadReport lastReport;

// Reads one picture file, named natively, through the decoder chain.
int ReadPictureFile(const char* path, BaseImage* image, const char** decoder)
{
    const StreamHandle stream = StreamOpenNative(path);
    if (!stream)
        return -1;
    const int result = DecodeImage(FileImageReader(stream), image, decoder);
    StreamClose(stream);
    return result;
}

// Gives a loaded image the record a reload reads it from again: the absolute
// native paths of the picture and, when one was merged, of the alpha picture
// that were opened (a reload never looks for an alpha picture on its own:
// "_a" inserted into an absolute path would land in a folder name with a
// dot). path is the program's, for the message.
void RecordImageFile(ImageHandle handle, const char* path, const std::string& source, const std::string* alphaSource)
{
    const std::string absolute = AbsoluteNativePath(source);
    const std::string alphaAbsolute = alphaSource ? AbsoluteNativePath(*alphaSource) : std::string();
    if (absolute.empty() || (alphaSource && alphaAbsolute.empty())) {
        LogPrintfLine("カレントディレクトリが取得できないため、グラフィックファイル %s は復帰できません", path);
        return;
    }
    ImageFileRecord* record = MakeImageFileRecord(absolute.c_str(), alphaSource ? alphaAbsolute.c_str() : nullptr);
    if (!record)
        LogAdd("転送する画像ファイルのファイル名を保存するメモリ領域の確保に失敗しました\n");
    else if (ImageEntry* entry = FindImage(handle))
        entry->fileName = record;
    else
        ReleaseImageFileRecord(record);
}

// The native name a program path is read under, relative to folder (empty:
// the working folder): the one a file has (converted or raw), or the raw one
// when neither opens, so that the read fails as it should.
std::string NativeSource(const char* path, const std::string& folder)
{
    std::string found = FindReadableFile(path, folder);
    if (found.empty()) {
        found = NativePath(path, systemState.characterSet);
        if (!folder.empty() && !found.empty() && found[0] != '/')
            found = folder + "/" + found;
    }
    return found;
}

// Reads a record's pictures again: 0 with the alpha picture when the record
// has one, else -1 with the path that could not be read in *failed.
int ReloadRecordPictures(const ImageFileRecord& record, BaseImage* colour, BaseImage* alpha, const char** failed)
{
    if (ReadPictureFile(record.path, colour, nullptr) != 0) {
        *failed = record.path;
        return -1;
    }
    if (record.alphaPath && ReadPictureFile(record.alphaPath, alpha, nullptr) != 0) {
        FreeBaseImage(colour);
        *failed = record.alphaPath;
        return -1;
    }
    return 0;
}

// LoadBaseImage with the alpha picture's path given.
int LoadPictures(const char* path, const char* alphaPath, BaseImage* colour, BaseImage* alpha)
{
    lastReport = ImageLoadReport{};
    *colour = BaseImage{};
    *alpha = BaseImage{};
    if (ReadPictureFile(path, colour, &lastReport.decoder) != 0)
        return -1;
    lastReport.width = colour->width;
    lastReport.height = colour->height;
    lastReport.format = colour->format;
    if (ReadPictureFile(alphaPath, alpha, nullptr) != 0)
        return 1;
    lastReport.alphaPicture = true;
    return 0;
}

}  // namespace

std::string AlphaPictureName(const char* path)
{
    std::string name;
    size_t i = 0;
    const size_t length = std::strlen(path);
    while (i < length && path[i] != '.') {
        if (IsLeadByte(uint8_t(path[i]), systemState.characterSet) && i + 1 < length)
            name += path[i++];
        name += path[i++];
    }
    name += "_a";
    name.append(path + i);
    return name;
}

std::string AbsoluteImagePath(const char* path, const std::string& base)
{
    return AbsoluteNativePath(NativePath(path ? path : "", systemState.characterSet), base);
}

int LoadBaseImage(const char* path, BaseImage* colour, BaseImage* alpha)
{
    return LoadPictures(NativeSource(path, "").c_str(), NativeSource(AlphaPictureName(path).c_str(), "").c_str(), colour,
                        alpha);
}

ImageHandle CreateImageFromBase(const BaseImage& colour, const BaseImage* alpha)
{
    if (!GraphicsStarted())
        return -1;
    if (alpha && (alpha->width != colour.width || alpha->height != colour.height))
        return -1;
    const bool hasAlpha = colour.format.alphaMask != 0 || alpha != nullptr;
    bool memoryShort = false;
    const ImageHandle handle = MakeEmptyImage(colour.width, colour.height, hasAlpha, false, &memoryShort);
    if (handle < 0) {
        // The hardware path keeps the pixels in memory too (the original data).
        if (!displaySettings.hardwarePath)
            return LogAdd("メモリイメージの作成に失敗しました\n");
        return LogAdd(memoryShort ? "グラフィックのオリジナル画像データ保存用メモリの確保に失敗しました\n"
                                  : "テクスチャの作成に失敗しました\n");
    }
    // A DXT picture's kind may choose its texture row.
    ImageEntry* made = FindImage(handle);
    if (colour.format.compressedKind && !alpha && made &&
        !SetPictureDxtKind(made->body, colour.format.compressedKind)) {
        DeleteImage(handle);
        return LogAdd("テクスチャの作成に失敗しました\n");
    }
    PixelRegion region;
    if (GetImagePixels(handle, &region)) {
        FillRegionFromPicture(region, colour, alpha, 0, 0);
        // Textures that did not take the pixels would draw nothing: the
        // image is not made (the transfer logged why).
        if (!ImagePixelsChanged(handle)) {
            DeleteImage(handle);
            return -1;
        }
    }
    // The hardware path keeps DXT pictures compressed where the device can.
    if (displaySettings.hardwarePath && colour.format.compressedKind && !alpha) {
        if (ImageEntry* entry = FindImage(handle))
            UseCompressedTextures(entry->body, colour.pixels, colour.pitch, colour.format.compressedKind);
    }
    return handle;
}

ImageHandle LoadImageToHandle(const char* path, int flag)
{
    (void)flag;  // accepted, without effect
    if (!GraphicsStarted() || !path)
        return -1;
    WaitWhileInactive();

    // A relative picture missing from the working folder may come from the
    // program's fallback folder: the picture, its "_a" picture and the record
    // then all name that folder, so that a reload finds them again.
    const std::string folder = PictureFallbackFolderFor(path);
    const std::string source = NativeSource(path, folder);
    const std::string alphaSource = NativeSource(AlphaPictureName(path).c_str(), folder);

    BaseImage colour, alpha;
    const int loaded = LoadPictures(source.c_str(), alphaSource.c_str(), &colour, &alpha);
    if (loaded >= 0) {
        const ImageHandle handle = CreateImageFromBase(colour, loaded == 0 ? &alpha : nullptr);
        if (handle >= 0)
            RecordImageFile(handle, path, source, loaded == 0 ? &alphaSource : nullptr);
        FreeBaseImage(&colour);
        FreeBaseImage(&alpha);
        return handle;
    }

    const StreamHandle stream = StreamOpenNative(source.c_str());
    if (!stream)
        return LogPrintfLine("グラフィックファイル %s がありません", path);
    StreamClose(stream);
    const int movie = OpenMovie(source.c_str());
    if (movie < 0)
        return LogPrintfLine("右記のグラフィックファイルのロードに失敗しました：%s \n", path);
    MovieFrameInfo frame;
    const ImageHandle handle =
        GetMovieFrameInfo(movie, &frame) ? MakeEmptyImage(frame.width, frame.height, frame.hasAlpha, true) : -1;
    if (handle < 0) {
        CloseMovie(movie);
        return LogPrintfLine("右記のグラフィックファイルの格納用グラフィック領域の作成に失敗しました：%s", path);
    }
    if (ImageEntry* entry = FindImage(handle))
        entry->movieHandle = movie;
    AttachMovieImage(movie, handle);
    return handle;
}

const ImageLoadReport& LastImageLoadReport()
{
    return lastReport;
}

int ReloadImageFiles()
{
    LogAdd("グラフィックを復帰します\n");
    BaseImage colour, alpha;
    // The pictures of the last record read; adjacent entries of the same
    // files use them (or, when they failed, are skipped without a second
    // attempt and a second line).
    bool read = false;
    int loaded = -1;
    std::string loadedPath, loadedAlphaPath;
    const int32_t mark = ImageHighWaterMark();
    for (int32_t slot = 0; slot < mark; ++slot) {
        ImageEntry* entry = ImageEntryAtSlot(slot);
        if (!entry || !entry->fileName || !entry->body)
            continue;
        const ImageFileRecord& record = *entry->fileName;
        const char* alphaPath = record.alphaPath ? record.alphaPath : "";
        if (!read || loadedPath != record.path || loadedAlphaPath != alphaPath) {
            FreeBaseImage(&colour);
            FreeBaseImage(&alpha);
            read = true;
            loadedPath = record.path;
            loadedAlphaPath = alphaPath;
            const char* failed = nullptr;
            loaded = ReloadRecordPictures(record, &colour, &alpha, &failed);
            if (loaded < 0)
                LogPrintfLine("ファイル:%s がロードできませんでした", failed);
        }
        if (loaded < 0)
            continue;
        PixelRegion region;
        if (GetImagePixels(entry->handle, &region)) {
            FillRegionFromPicture(region, colour, record.alphaPath ? &alpha : nullptr, entry->offsetX, entry->offsetY);
            ImagePixelsChanged(entry->handle);
        }
    }
    FreeBaseImage(&colour);
    FreeBaseImage(&alpha);
    return 0;
}

}  // namespace media
