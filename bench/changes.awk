# bench/changes.awk: a later version of a generated file with 1% of its clients changed,
# for make bench: of every 300 sections, one client renamed, one moved to the next
# address and one removed.
/^\[/ { n++; removed = (n % 300 == 200) }
removed { next }
n % 300 == 0 && /^Hostname=/ { print $0 "-renamed"; next }
n % 300 == 100 && /^IPADDR=/ {
    split($0, octet, ".")
    print octet[1] "." octet[2] "." octet[3] "." (octet[4] + 1) % 256
    next
}
{ print }
