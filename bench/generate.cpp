// Writes a dhcpsrv.ini with the given number of clients, as the server writes it: CRLF
// line ends, the settings sections first with three address pools, then one section per
// client in random address order with the server's usual keys. Random addresses collide
// as in a crowded network; besides, one client in a thousand takes the MAC of the client
// before it, another the host name of the client before it, and one in a hundred
// thousand has an address octet over 255, so that a health check has something to find.
//
//   kelto-generate CLIENTS OUTPUT [SEED]

#include <cstdio>
#include <cstdlib>
#include <random>

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: kelto-generate CLIENTS OUTPUT [SEED]\n");
        return 64;
    }
    const long clients = std::strtol(argv[1], nullptr, 10);
    std::FILE *out = std::fopen(argv[2], "wb");
    if (!out) {
        std::perror(argv[2]);
        return 1;
    }
    std::mt19937_64 random(argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1);

    std::fputs("[SETTINGS]\r\nIPPOOL_1=10.0.0.1-254\r\nIPPOOL_2=10.1.2.10-200\r\n"
               "IPPOOL_3=10.200.7.1,20-40,100-120\r\nIPBIND_1=10.0.0.1\r\n"
               "AssociateBindsToPools=1\r\nTrace=1\r\n\r\n"
               "[GENERAL]\r\nLEASETIME=86400\r\nSUBNETMASK=255.0.0.0\r\n\r\n"
               "[DNS-SETTINGS]\r\nEnableDNS=0\r\n\r\n[TFTP-SETTINGS]\r\nEnableTFTP=0\r\n\r\n"
               "[HTTP-SETTINGS]\r\nEnableHTTP=1\r\n\r\n",
               out);
    unsigned long long macBits = 0;
    for (long i = 0; i < clients; ++i) {
        const auto bits = random();
        // The MAC: three random bytes, then the client's number.
        const long macNumber = i % 1000 == 500 ? i - 1 : i;
        if (macNumber == i)
            macBits = bits;
        const long nameNumber = i % 1000 == 999 ? i - 1 : i;
        const unsigned lastOctet = i % 100000 == 12345 ? 300 : unsigned(bits) & 0xff;
        std::fprintf(out,
                     "[%02x-%02x-%02x-%02x-%02x-%02x]\r\n"
                     "IPADDR=10.%u.%u.%u\r\n"
                     "AutoConfig=%02u.12.2026 %02u:%02u:%02u\r\n"
                     "Hostname=host-%07ld\r\n"
                     "LeaseEnd=%lu\r\n\r\n",
                     unsigned(macBits >> 56), unsigned(macBits >> 48) & 0xff,
                     unsigned(macBits >> 40) & 0xff, unsigned(macNumber >> 16) & 0xff,
                     unsigned(macNumber >> 8) & 0xff, unsigned(macNumber) & 0xff,
                     unsigned(bits >> 16) & 0xff, unsigned(bits >> 8) & 0xff, lastOctet,
                     unsigned(1 + bits % 28), unsigned(bits >> 24) % 24, unsigned(bits >> 28) % 60,
                     unsigned(bits >> 32) % 60, nameNumber, 1796558043UL + (bits >> 40) % 864000);
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
