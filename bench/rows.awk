# The pipeline an administrator would write instead of kelto-cli: the same host rows,
# built with awk, then sorted by `LC_ALL=C sort`.
BEGIN { RS = "\r?\n" }
substr($0, 1, 1) == "[" && substr($0, 19, 1) == "]" { mac = substr($0, 2, 17) }
index($0, "IPADDR=") == 1 {
    n = split(substr($0, 8), o, ".")
    address = sprintf("%3s.%3s.%3s.%3s", o[1], o[2], o[3], o[4])
}
tolower(substr($0, 1, 9)) == "hostname=" {
    name = substr($0, 10)
    sub(/;.*/, "", name)
    printf "%s %-83.83s%s\n", address, name, mac
    mac = ""
}
