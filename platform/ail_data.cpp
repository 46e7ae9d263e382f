// The sound library's data side: the buffers it gives out, file reading,
// wave type detection, and decoding through libsndfile (PCM, IEEE float and
// IMA ADPCM wave files, in the plain or the extensible header, and MP3) from
// memory.
//
// Every byte here may come from a damaged or hostile file: headers are read
// only within the bytes given, and decoded sounds are bounded in size.
#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "platform/ail.h"
#include "platform/ail_internal.h"
#include "platform/ail_test.h"
#include "platform/path.h"
#include "platform/report.h"

namespace {

// The largest decoded sound: about 25 minutes of 44.1 kHz stereo.
constexpr size_t MAX_DECODED_BYTES = 256u << 20;

struct data_state {
    std::map<const uint8_t*, ail_block> blocks;  // by base address
    char last_error[256] = "";
    int32_t file_error = 0;
};
data_state data;

uint8_t* new_block(size_t size)
{
    uint8_t* base = (uint8_t*)std::malloc(size ? size : 1);
    if (!base) {
        ail_set_last_error("out of memory for a buffer of %zu bytes", size);
        return nullptr;
    }
    data.blocks[base] = ail_block{base, size};
    return base;
}

uint32_t le16(const uint8_t* p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8;
}

uint32_t le32(const uint8_t* p)
{
    return le16(p) | le16(p + 2) << 16;
}

void put_le16(uint8_t* p, uint32_t value)
{
    p[0] = (uint8_t)value;
    p[1] = (uint8_t)(value >> 8);
}

void put_le32(uint8_t* p, uint32_t value)
{
    put_le16(p, value);
    put_le16(p + 2, value >> 16);
}

// The "fmt " chunk of a RIFF WAVE image. `tag` is the encoding: for the
// extensible header (0xFFFE, which sound tools write for more than 16 bits,
// for float and for more than two channels) the tag of its sub-format, when
// that is one of the standard ones; `extensible` tells the header apart.
struct wave_format {
    uint32_t tag, channels, rate, block_align, bits;
    bool extensible;
};

enum : uint32_t {
    WAVE_TAG_PCM = 1,
    WAVE_TAG_FLOAT = 3,
    WAVE_TAG_IMA_ADPCM = 0x11,
    WAVE_TAG_EXTENSIBLE = 0xFFFE,
};

// The extensible header's sub-format: its first two bytes are a wave format
// tag when the other fourteen are these.
const uint8_t standard_sub_format_tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                              0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// Finds the format chunk within the `size` bytes at `image`; 0 when the bytes
// are no wave file or the chunk does not lie whole inside them.
int find_wave_format(const uint8_t* image, size_t size, wave_format* format)
{
    if (size < 12 || std::memcmp(image, "RIFF", 4) != 0 || std::memcmp(image + 8, "WAVE", 4) != 0)
        return 0;
    size_t at = 12;
    while (size - at >= 8) {
        size_t chunk = le32(image + at + 4);
        if (chunk > size - at - 8)
            return 0;
        if (std::memcmp(image + at, "fmt ", 4) == 0) {
            if (chunk < 16)
                return 0;
            const uint8_t* fmt = image + at + 8;
            *format = {le16(fmt),      le16(fmt + 2),  le32(fmt + 4),
                       le16(fmt + 12), le16(fmt + 14), false};
            // The extension: its size (22), valid bits, channel mask and the
            // 16-byte sub-format. A header too short for it keeps the tag
            // 0xFFFE, which nothing accepts.
            if (format->tag == WAVE_TAG_EXTENSIBLE) {
                format->extensible = true;
                if (chunk >= 40 && le16(fmt + 16) >= 22 &&
                    std::memcmp(fmt + 26, standard_sub_format_tail, 14) == 0)
                    format->tag = le16(fmt + 24);
            }
            return 1;
        }
        // Chunks are padded to an even length; the pad byte may be missing
        // at the very end.
        at += 8 + chunk + (chunk & 1);
        if (at > size)
            return 0;
    }
    return 0;
}

int is_mp3(const uint8_t* image, size_t size)
{
    if (size >= 3 && std::memcmp(image, "ID3", 3) == 0)
        return 1;
    // A frame header: 11 sync bits, a version other than the reserved one,
    // layer III.
    return size >= 4 && image[0] == 0xFF && (image[1] & 0xE0) == 0xE0 &&
           (image[1] & 0x18) != 0x08 && (image[1] & 0x06) == 0x02;
}

// libsndfile reads from memory through these.
struct memory_file {
    const uint8_t* bytes;
    sf_count_t size;
    sf_count_t at;
};

sf_count_t memory_length(void* user)
{
    return ((memory_file*)user)->size;
}

sf_count_t memory_seek(sf_count_t offset, int whence, void* user)
{
    memory_file* file = (memory_file*)user;
    sf_count_t base = whence == SEEK_CUR ? file->at : whence == SEEK_END ? file->size : 0;
    if (offset < -base || offset > file->size - base)
        return -1;
    file->at = base + offset;
    return file->at;
}

sf_count_t memory_read(void* out, sf_count_t count, void* user)
{
    memory_file* file = (memory_file*)user;
    sf_count_t n = std::max<sf_count_t>(0, std::min(count, file->size - file->at));
    std::memcpy(out, file->bytes + file->at, (size_t)n);
    file->at += n;
    return n;
}

sf_count_t memory_no_write(const void*, sf_count_t, void*)
{
    return 0;
}

sf_count_t memory_tell(void* user)
{
    return ((memory_file*)user)->at;
}

// What a decoder accepts: the container and the encodings within it.
enum decode_kind { DECODE_PCM_WAV, DECODE_ADPCM_WAV, DECODE_MP3 };

int format_accepted(int format, decode_kind kind)
{
    int major = format & SF_FORMAT_TYPEMASK;
    int minor = format & SF_FORMAT_SUBMASK;
    switch (kind) {
    case DECODE_PCM_WAV:
        return (major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX) &&
               (minor == SF_FORMAT_PCM_U8 || minor == SF_FORMAT_PCM_16 ||
                minor == SF_FORMAT_PCM_24 || minor == SF_FORMAT_PCM_32 ||
                minor == SF_FORMAT_FLOAT || minor == SF_FORMAT_DOUBLE);
    case DECODE_ADPCM_WAV:
        return major == SF_FORMAT_WAV && minor == SF_FORMAT_IMA_ADPCM;
    case DECODE_MP3:
        return major == SF_FORMAT_MPEG;
    }
    return 0;
}

const char* const kind_names[] = {"PCM wave", "IMA ADPCM wave", "MP3"};

// Reads up to `frames` frames as 16-bit samples. Float samples are scaled by
// 32768 and clipped here: libsndfile's own conversion scales by 32767 and lets
// a sample beyond full scale wrap round to the other sign.
sf_count_t read_frames(SNDFILE* sound, bool is_float, int channels, int16_t* out, sf_count_t frames)
{
    if (!is_float)
        return sf_readf_short(sound, out, frames);
    float values[1024];
    sf_count_t chunk = (sf_count_t)(sizeof values / sizeof values[0]) / channels, done = 0;
    while (done < frames) {
        sf_count_t got = sf_readf_float(sound, values, std::min(chunk, frames - done));
        for (sf_count_t i = 0; i < got * channels; ++i) {
            float scaled = values[i] * 32768.0f;
            out[done * channels + i] = scaled >= 32767.0f    ? (int16_t)32767
                                       : scaled <= -32768.0f ? (int16_t)-32768
                                       : scaled == scaled    ? (int16_t)lrintf(scaled)
                                                             : (int16_t)0;  // not a number
        }
        if (got <= 0)
            break;
        done += got;
    }
    return done;
}

// Decodes the `size` bytes at `image` into 16-bit samples. 1, or 0 with the
// last error set.
int decode(const uint8_t* image, size_t size, decode_kind kind, ail_pcm* pcm,
           ail_progress_funct progress)
{
    SF_VIRTUAL_IO io = {memory_length, memory_seek, memory_read, memory_no_write, memory_tell};
    memory_file file = {image, (sf_count_t)size, 0};
    SF_INFO info = {};
    SNDFILE* sound = sf_open_virtual(&io, SFM_READ, &info, &file);
    if (!sound) {
        ail_set_last_error("cannot decode the %s: %s", kind_names[kind], sf_strerror(nullptr));
        return 0;
    }
    int ok = 0;
    if (!format_accepted(info.format, kind))
        ail_set_last_error("the data is no %s (format 0x%x)", kind_names[kind], info.format);
    else if (info.channels < 1 || info.channels > 2)
        ail_set_last_error("the %s has %d channels; 1 or 2 can be played", kind_names[kind],
                           info.channels);
    else if (info.samplerate < 1 || info.samplerate > 384000)
        ail_set_last_error("the %s has a rate of %d frames per second", kind_names[kind],
                           info.samplerate);
    else
        ok = 1;
    int minor = info.format & SF_FORMAT_SUBMASK;
    bool is_float = minor == SF_FORMAT_FLOAT || minor == SF_FORMAT_DOUBLE;
    pcm->samples.clear();
    pcm->channels = info.channels;
    pcm->rate = info.samplerate;
    const size_t chunk_frames = 4096;
    while (ok) {
        size_t at = pcm->samples.size();
        if ((at + chunk_frames * info.channels) * sizeof(int16_t) > MAX_DECODED_BYTES) {
            ail_set_last_error("the %s decodes to more than %zu bytes", kind_names[kind],
                               MAX_DECODED_BYTES);
            ok = 0;
            break;
        }
        pcm->samples.resize(at + chunk_frames * info.channels);
        sf_count_t frames = read_frames(sound, is_float, info.channels, pcm->samples.data() + at,
                                        chunk_frames);
        pcm->samples.resize(at + (size_t)std::max<sf_count_t>(frames, 0) * info.channels);
        if (frames <= 0)
            break;
        if (progress && !progress((uint32_t)(pcm->samples.size() * sizeof(int16_t)), 0)) {
            ail_set_last_error("the decompression of the %s was abandoned", kind_names[kind]);
            ok = 0;
        }
    }
    if (ok && sf_error(sound) != SF_ERR_NO_ERROR) {
        ail_set_last_error("cannot decode the %s: %s", kind_names[kind], sf_strerror(sound));
        ok = 0;
    }
    if (ok && pcm->samples.empty()) {
        ail_set_last_error("the %s holds no samples", kind_names[kind]);
        ok = 0;
    }
    sf_close(sound);
    if (!ok)
        pcm->samples.clear();
    return ok;
}

enum { WAVE_HEADER_BYTES = 44 };

// A new buffer holding `pcm` as a 16-bit PCM wave file image.
uint8_t* wave_image(const ail_pcm& pcm, uint32_t* image_size)
{
    size_t data_bytes = pcm.samples.size() * sizeof(int16_t);
    uint8_t* image = new_block(WAVE_HEADER_BYTES + data_bytes);
    if (!image)
        return nullptr;
    uint32_t block_align = 2 * (uint32_t)pcm.channels;
    std::memcpy(image, "RIFF", 4);
    put_le32(image + 4, (uint32_t)(36 + data_bytes));
    std::memcpy(image + 8, "WAVEfmt ", 8);
    put_le32(image + 16, 16);
    put_le16(image + 20, 1);
    put_le16(image + 22, (uint32_t)pcm.channels);
    put_le32(image + 24, (uint32_t)pcm.rate);
    put_le32(image + 28, (uint32_t)pcm.rate * block_align);
    put_le16(image + 32, block_align);
    put_le16(image + 34, 16);
    std::memcpy(image + 36, "data", 4);
    put_le32(image + 40, (uint32_t)data_bytes);
    // Wave files are little-endian, as is every machine the game runs on.
    std::memcpy(image + WAVE_HEADER_BYTES, pcm.samples.data(), data_bytes);
    if (image_size)
        *image_size = (uint32_t)(WAVE_HEADER_BYTES + data_bytes);
    return image;
}

int decompress(const void* image, size_t size, decode_kind kind, void** out, uint32_t* out_size,
               ail_progress_funct progress)
{
    ail_pcm pcm;
    if (!decode((const uint8_t*)image, size, kind, &pcm, progress))
        return 0;
    *out = wave_image(pcm, out_size);
    return *out != nullptr;
}

}  // namespace

void ail_set_last_error(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vsnprintf(data.last_error, sizeof data.last_error, format, args);
    va_end(args);
}

const char* AIL_last_error(void)
{
    return data.last_error;
}

const ail_block* ail_find_block(const void* at)
{
    const uint8_t* byte = (const uint8_t*)at;
    auto after = data.blocks.upper_bound(byte);
    if (!byte || after == data.blocks.begin())
        return nullptr;
    const ail_block& block = std::prev(after)->second;
    return (size_t)(byte - block.base) < block.size ? &block : nullptr;
}

void ail_release_all_blocks(void)
{
    for (auto& entry : data.blocks) {
        ail_output_forget_block(&entry.second);
        std::free(entry.second.base);
    }
    data.blocks.clear();
}

int ail_decode_playable(const void* image, ail_pcm* pcm)
{
    const ail_block* block = ail_find_block(image);
    if (!block) {
        ail_set_last_error("the sample data is no buffer of the sound library");
        return 0;
    }
    size_t size = block->size - (size_t)((const uint8_t*)image - block->base);
    return decode((const uint8_t*)image, size, DECODE_PCM_WAV, pcm, nullptr);
}

void* AIL_file_read(const char* filename, void* dest)
{
    data.file_error = 1;
    if (!filename || dest != AIL_FILE_READ_WITH_SIZE) {
        ail_set_last_error("a file is read only into a new buffer with its size");
        return nullptr;
    }
    FILE* file = platform_fopen(filename, "rb");
    if (!file) {
        ail_set_last_error(errno == EISDIR ? "%s is not a file: it is a directory"
                                           : "cannot open the file %s",
                           filename);
        return nullptr;
    }
    long long size = platform_file_size(file);
    uint8_t* buffer = nullptr;
    if (size < 0 || size > PLATFORM_MAX_WHOLE_FILE)
        ail_set_last_error("cannot read the file %s (of %lld bytes at most)", filename,
                           PLATFORM_MAX_WHOLE_FILE);
    else if ((buffer = new_block(4 + (size_t)size)) != nullptr &&
             std::fread(buffer + 4, 1, (size_t)size, file) != (size_t)size) {
        ail_set_last_error("cannot read the file %s", filename);
        AIL_mem_free_lock(buffer);
        buffer = nullptr;
    }
    std::fclose(file);
    if (!buffer)
        return nullptr;
    put_le32(buffer, (uint32_t)size);
    data.file_error = 0;
    return buffer;
}

int32_t AIL_file_error(void)
{
    return data.file_error;
}

int32_t AIL_file_type(const void* image, uint32_t size)
{
    wave_format format;
    if (image && find_wave_format((const uint8_t*)image, size, &format)) {
        // PCM and float are played as they stand; IMA ADPCM comes only in
        // the plain header.
        if (format.tag == WAVE_TAG_PCM || format.tag == WAVE_TAG_FLOAT)
            return AIL_FILE_TYPE_PCM_WAV;
        if (format.tag == WAVE_TAG_IMA_ADPCM && !format.extensible)
            return AIL_FILE_TYPE_ADPCM_WAV;
        ail_set_last_error("the wave's format 0x%x%s is neither PCM, IEEE float nor IMA ADPCM",
                           format.tag, format.extensible ? " (extensible header)" : "");
        return AIL_FILE_TYPE_UNKNOWN;
    }
    if (image && is_mp3((const uint8_t*)image, size))
        return AIL_FILE_TYPE_MP3;
    ail_set_last_error("the data is no wave file and no MP3");
    return AIL_FILE_TYPE_UNKNOWN;
}

int32_t AIL_WAV_info(const void* image, ail_sound_info* info)
{
    if (!info)
        return 0;
    *info = {};
    // The image's length is what its buffer holds from `image` on; the
    // header's own sizes are not trusted.
    const ail_block* block = ail_find_block(image);
    if (!block) {
        ail_set_last_error("the wave data is no buffer of the sound library");
        return 0;
    }
    size_t size = block->size - (size_t)((const uint8_t*)image - block->base);
    wave_format format;
    if (!find_wave_format((const uint8_t*)image, size, &format)) {
        ail_set_last_error("the data is no wave file");
        return 0;
    }
    *info = {(int32_t)format.tag,  image,
             (uint32_t)size,       format.rate,
             (int32_t)format.bits, (int32_t)format.channels,
             format.block_align};
    return 1;
}

int32_t AIL_decompress_ADPCM(const ail_sound_info* info, void** out, uint32_t* out_size)
{
    if (!out)
        return 0;
    *out = nullptr;
    if (!info || !info->data_ptr) {
        ail_set_last_error("no ADPCM wave to decompress");
        return 0;
    }
    return decompress(info->data_ptr, info->data_len, DECODE_ADPCM_WAV, out, out_size, nullptr);
}

int32_t AIL_decompress_ASI(const void* image, uint32_t size, const char* file_ext, void** out,
                           uint32_t* out_size, ail_progress_funct callback)
{
    if (!out)
        return 0;
    *out = nullptr;
    if (file_ext && *file_ext == '.')
        ++file_ext;
    if (!file_ext || strcasecmp(file_ext, "mp3") != 0) {
        ail_set_last_error("no decoder for the file type '%s'", file_ext ? file_ext : "");
        return 0;
    }
    if (!image) {
        ail_set_last_error("no MP3 data to decompress");
        return 0;
    }
    return decompress(image, size, DECODE_MP3, out, out_size, callback);
}

void AIL_mem_free_lock(void* base)
{
    if (!base)
        return;
    auto found = data.blocks.find((const uint8_t*)base);
    if (found == data.blocks.end()) {
        PLATFORM_ERROR("AIL_mem_free_lock: %p is no buffer of the sound library.", base);
        return;
    }
    ail_output_forget_block(&found->second);
    std::free(found->second.base);
    data.blocks.erase(found);
}

// ---- Test hooks ----

namespace {

struct memory_sink {
    std::string bytes;
    sf_count_t at = 0;
};

sf_count_t sink_length(void* user)
{
    return (sf_count_t)((memory_sink*)user)->bytes.size();
}

sf_count_t sink_seek(sf_count_t offset, int whence, void* user)
{
    memory_sink* sink = (memory_sink*)user;
    sf_count_t base = whence == SEEK_CUR   ? sink->at
                      : whence == SEEK_END ? (sf_count_t)sink->bytes.size()
                                           : 0;
    if (base + offset < 0)
        return -1;
    sink->at = base + offset;
    return sink->at;
}

sf_count_t sink_read(void* out, sf_count_t count, void* user)
{
    memory_sink* sink = (memory_sink*)user;
    sf_count_t left = (sf_count_t)sink->bytes.size() - sink->at;
    sf_count_t n = std::max<sf_count_t>(0, std::min(count, left));
    std::memcpy(out, sink->bytes.data() + sink->at, (size_t)n);
    sink->at += n;
    return n;
}

sf_count_t sink_write(const void* bytes, sf_count_t count, void* user)
{
    memory_sink* sink = (memory_sink*)user;
    if ((size_t)(sink->at + count) > sink->bytes.size())
        sink->bytes.resize((size_t)(sink->at + count));
    std::memcpy(sink->bytes.data() + sink->at, bytes, (size_t)count);
    sink->at += count;
    return count;
}

sf_count_t sink_tell(void* user)
{
    return ((memory_sink*)user)->at;
}

}  // namespace

std::string ail_test_mp3_bytes(const int16_t* samples, int32_t frames, int32_t channels,
                               int32_t rate)
{
    SF_VIRTUAL_IO io = {sink_length, sink_seek, sink_read, sink_write, sink_tell};
    memory_sink sink;
    SF_INFO info = {};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    SNDFILE* sound = sf_open_virtual(&io, SFM_WRITE, &info, &sink);
    if (!sound)
        return "";
    sf_count_t written = sf_writef_short(sound, samples, frames);
    sf_close(sound);
    return written == frames ? sink.bytes : "";
}
