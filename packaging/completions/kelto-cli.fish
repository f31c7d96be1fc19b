# fish completion for kelto-cli: commands, options, --format values and file paths.

set -l commands list lookup find check free help
complete -c kelto-cli -f
complete -c kelto-cli -n "not __fish_seen_subcommand_from $commands" -a list -d 'every row of the host table'
complete -c kelto-cli -n "not __fish_seen_subcommand_from $commands" -a lookup -d 'address, host name and MAC of host numbers'
complete -c kelto-cli -n "not __fish_seen_subcommand_from $commands" -a find -d 'the rows that contain a text'
complete -c kelto-cli -n "not __fish_seen_subcommand_from $commands" -a check -d 'reservation health'
complete -c kelto-cli -n "not __fish_seen_subcommand_from $commands" -a free -d 'the free addresses of the pools'
complete -c kelto-cli -n "not __fish_seen_subcommand_from $commands" -a help -d 'the help'
complete -c kelto-cli -s f -l file -r -F -d 'the configuration file (- for standard input)'
complete -c kelto-cli -l format -x -n '__fish_seen_subcommand_from list find' -a 'rows json csv tsv' -d 'output format'
complete -c kelto-cli -l format -x -n '__fish_seen_subcommand_from lookup' -a 'text json tsv' -d 'output format'
complete -c kelto-cli -l format -x -n '__fish_seen_subcommand_from check free' -a 'text json' -d 'output format'
complete -c kelto-cli -l max-input -x -a '64M 1G 4G' -d 'read no more than SIZE bytes'
complete -c kelto-cli -s h -l help -d 'print the usage'
complete -c kelto-cli -s v -l version -d 'print the version'
