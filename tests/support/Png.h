#pragma once
// A grey PNG of any size, all black, made without holding its pixels: a huge picture costs
// only its compressed bytes. With `rows` below the height, the file ends after those rows.
#include <zlib.h>

#include <string>

namespace bw::test {

inline std::string png(unsigned width, unsigned height, unsigned rows)
{
    auto chunk = [](std::string& out, const char* type, const std::string& data) {
        auto big = [&](unsigned v) { for (int s = 24; s >= 0; s -= 8) out += static_cast<char>(v >> s & 0xff); };
        big(static_cast<unsigned>(data.size()));
        const std::string typed = type + data;
        out += typed;
        big(static_cast<unsigned>(crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()))));
    };
    std::string header;
    for (unsigned v : {width, height})
        for (int s = 24; s >= 0; s -= 8)
            header += static_cast<char>(v >> s & 0xff);
    header += std::string("\x08\x00\x00\x00\x00", 5); // 8 bits of grey, no interlace
    z_stream z{};
    deflateInit(&z, 1);
    const std::string row(width + 1, '\0'); // no filter, then the row's pixels
    std::string data, out(1 << 16, '\0');
    for (unsigned r = 0; r < rows; ++r) {
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(row.data()));
        z.avail_in = static_cast<uInt>(row.size());
        for (int flush = r + 1 == rows ? Z_FINISH : Z_NO_FLUSH; z.avail_in > 0 || flush == Z_FINISH;) {
            z.next_out = reinterpret_cast<Bytef*>(out.data());
            z.avail_out = static_cast<uInt>(out.size());
            const int status = deflate(&z, flush);
            data.append(out.data(), out.size() - z.avail_out);
            if (status == Z_STREAM_END)
                break;
        }
    }
    deflateEnd(&z);
    std::string file = "\x89PNG\r\n\x1a\n";
    chunk(file, "IHDR", header);
    chunk(file, "IDAT", data);
    chunk(file, "IEND", "");
    return file;
}

} // namespace bw::test
