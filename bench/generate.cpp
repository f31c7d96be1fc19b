// Writes a dhcpsrv.ini with the given number of clients, as the server writes it: CRLF
// line ends, the settings sections first with three address pools, then one section per
// client in random address order with the server's usual keys. One client in a thousand
// takes the MAC of the client before it, another the host name of the client before it,
// and one in a hundred thousand has an address octet over 255, so that a health check has
// something to find.
//
//   kelto-generate CLIENTS OUTPUT [SEED] [ENCODING] [ADDRESSES]
//
// ENCODING: ascii (the default); utf-8, windows-1252 or utf-16, where every host name
// holds an "ô" (UTF-16 little-endian with its byte order mark, as Windows editors write
// it). ADDRESSES: crowded (the default), random addresses of 10.0.0.0/8, which collide
// more the more clients there are, as in a crowded network; or spread, addresses from a
// range sixteen times the number of clients, so that the share of repeated addresses is
// the same at any size.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

// Writes UTF-8 text in the chosen encoding.
class Output
{
public:
    Output(std::FILE *file, const char *encoding) : m_file(file), m_encoding(encoding)
    {
        if (m_encoding == "utf-16")
            std::fwrite("\xFF\xFE", 1, 2, m_file);
    }
    const char *hostNamePrefix() const { return m_encoding == "ascii" ? "host-" : "h\xC3\xB4st-"; }
    bool known() const
    {
        return m_encoding == "ascii" || m_encoding == "utf-8" || m_encoding == "windows-1252"
               || m_encoding == "utf-16";
    }

    // Text of ASCII and "ô" (C3 B4) only.
    void write(const char *utf8, size_t size)
    {
        if (m_encoding == "ascii" || m_encoding == "utf-8") {
            std::fwrite(utf8, 1, size, m_file);
            return;
        }
        m_buffer.clear();
        for (size_t i = 0; i < size; ++i) {
            const bool o = utf8[i] == '\xC3';
            const char c = o ? '\xF4' : utf8[i];
            i += o ? 1 : 0;
            m_buffer += c;
            if (m_encoding == "utf-16")
                m_buffer += '\0';
        }
        std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_file);
    }

private:
    std::FILE *m_file;
    std::string m_encoding;
    std::string m_buffer;
};

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: kelto-generate CLIENTS OUTPUT [SEED] [ENCODING] [ADDRESSES]\n");
        return 64;
    }
    const long clients = std::strtol(argv[1], nullptr, 10);
    std::FILE *file = std::fopen(argv[2], "wb");
    if (!file) {
        std::perror(argv[2]);
        return 1;
    }
    std::mt19937_64 random(argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1);
    Output out(file, argc > 4 ? argv[4] : "ascii");
    const bool spread = argc > 5 && std::strcmp(argv[5], "spread") == 0;
    if (!out.known() || (argc > 5 && !spread && std::strcmp(argv[5], "crowded") != 0)) {
        std::fprintf(stderr, "kelto-generate: unknown encoding or address choice\n");
        return 64;
    }

    const char *settings = "[SETTINGS]\r\nIPPOOL_1=10.0.0.1-254\r\nIPPOOL_2=10.1.2.10-200\r\n"
                           "IPPOOL_3=10.200.7.1,20-40,100-120\r\nIPBIND_1=10.0.0.1\r\n"
                           "AssociateBindsToPools=1\r\nTrace=1\r\n\r\n"
                           "[GENERAL]\r\nLEASETIME=86400\r\nSUBNETMASK=255.0.0.0\r\n\r\n"
                           "[DNS-SETTINGS]\r\nEnableDNS=0\r\n\r\n[TFTP-SETTINGS]\r\nEnableTFTP=0\r\n\r\n"
                           "[HTTP-SETTINGS]\r\nEnableHTTP=1\r\n\r\n";
    out.write(settings, std::strlen(settings));
    unsigned long long macBits = 0;
    char section[512];
    for (long i = 0; i < clients; ++i) {
        const auto bits = random();
        // The MAC: three random bytes, then the client's number.
        const long macNumber = i % 1000 == 500 ? i - 1 : i;
        if (macNumber == i)
            macBits = bits;
        const long nameNumber = i % 1000 == 999 ? i - 1 : i;
        // The address below 10.0.0.0 + 2^24, or up to 16 times the clients above 10.0.0.0.
        const unsigned long long address
            = spread ? bits % (16ULL * unsigned(clients)) : bits & 0xffffff;
        const unsigned lastOctet = i % 100000 == 12345 ? 300 : unsigned(address) & 0xff;
        const int size = std::snprintf(
            section, sizeof section,
            "[%02x-%02x-%02x-%02x-%02x-%02x]\r\n"
            "IPADDR=%u.%u.%u.%u\r\n"
            "AutoConfig=%02u.12.2026 %02u:%02u:%02u\r\n"
            "Hostname=%s%07ld\r\n"
            "LeaseEnd=%lu\r\n\r\n",
            unsigned(macBits >> 56), unsigned(macBits >> 48) & 0xff, unsigned(macBits >> 40) & 0xff,
            unsigned(macNumber >> 16) & 0xff, unsigned(macNumber >> 8) & 0xff,
            unsigned(macNumber) & 0xff, unsigned(10 + (address >> 24)), unsigned(address >> 16) & 0xff,
            unsigned(address >> 8) & 0xff, lastOctet, unsigned(1 + bits % 28),
            unsigned(bits >> 24) % 24, unsigned(bits >> 28) % 60, unsigned(bits >> 32) % 60,
            out.hostNamePrefix(), nameNumber, 1796558043UL + (bits >> 40) % 864000);
        out.write(section, size_t(size));
    }
    return std::fclose(file) == 0 ? 0 : 1;
}
