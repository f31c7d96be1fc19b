// Writes a dhcpsrv.ini with the given number of clients, as the server writes it: CRLF
// line ends, the settings sections first, then one section per client in random
// address order with the server's usual keys.
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

    std::fputs("[SETTINGS]\r\nIPPOOL_1=10.0.0.1-10.255.255.254\r\nIPBIND_1=10.0.0.1\r\n"
               "AssociateBindsToPools=1\r\nTrace=1\r\n\r\n"
               "[GENERAL]\r\nLEASETIME=86400\r\nSUBNETMASK=255.0.0.0\r\n\r\n"
               "[DNS-SETTINGS]\r\nEnableDNS=0\r\n\r\n[TFTP-SETTINGS]\r\nEnableTFTP=0\r\n\r\n"
               "[HTTP-SETTINGS]\r\nEnableHTTP=1\r\n\r\n",
               out);
    for (long i = 0; i < clients; ++i) {
        const auto bits = random();
        std::fprintf(out,
                     "[%02x-%02x-%02x-%02x-%02x-%02x]\r\n"
                     "IPADDR=10.%u.%u.%u\r\n"
                     "AutoConfig=%02u.12.2026 %02u:%02u:%02u\r\n"
                     "Hostname=host-%07ld\r\n"
                     "LeaseEnd=%lu\r\n\r\n",
                     unsigned(bits >> 56), unsigned(bits >> 48) & 0xff, unsigned(bits >> 40) & 0xff,
                     unsigned(i >> 16) & 0xff, unsigned(i >> 8) & 0xff, unsigned(i) & 0xff,
                     unsigned(bits >> 16) & 0xff, unsigned(bits >> 8) & 0xff, unsigned(bits) & 0xff,
                     unsigned(1 + bits % 28), unsigned(bits >> 24) % 24, unsigned(bits >> 28) % 60,
                     unsigned(bits >> 32) % 60, i, 1796558043UL + (bits >> 40) % 864000);
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
