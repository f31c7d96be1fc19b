# bash completion for kelto-cli: commands, options, --format values and file paths.

# File names, each one word however many spaces it holds, quoted by readline.
_kelto_cli_files()
{
    if declare -F _filedir > /dev/null; then
        _filedir
        return
    fi
    local IFS=$'\n'
    COMPREPLY=($(compgen -f -- "$cur"))
    compopt -o filenames 2> /dev/null
}

_kelto_cli()
{
    local cur prev words cword split=false
    if declare -F _init_completion > /dev/null; then
        _init_completion -s || return
    else
        cur=${COMP_WORDS[COMP_CWORD]}
        prev=${COMP_WORDS[COMP_CWORD - 1]}
        words=("${COMP_WORDS[@]}")
        cword=$COMP_CWORD
        # readline breaks --format=json at "=": the option is the word before it.
        if [[ $cur == "=" ]]; then
            cur=""
            split=true
        elif [[ $prev == "=" ]] && ((cword >= 2)); then
            prev=${words[cword - 2]}
            split=true
        fi
    fi

    local commands="list lookup find check free pools diff compare help"
    local command="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            -f | --file | -o | --output | --format | --max-input | --now | --oui-dir | --warning | --critical | \
                --warn-count | --crit-count)
                [[ ${words[i + 1]} == "=" ]] && i=$((i + 1))
                i=$((i + 1)) ;;
            -*) ;;
            *) command=${words[i]}; break ;;
        esac
    done

    case $prev in
        -f | --file | -o | --output)
            _kelto_cli_files
            return ;;
        --oui-dir)
            COMPREPLY=($(compgen -d -- "$cur"))
            return ;;
        --now | --warning | --critical | --warn-count | --crit-count)
            return ;;
        --format)
            local formats
            case $command in
                list | find) formats="rows json csv tsv" ;;
                lookup) formats="text json tsv" ;;
                check) formats="text json nagios" ;;
                free) formats="text json" ;;
                pools) formats="text json csv tsv nagios prometheus" ;;
                diff) formats="text json csv tsv" ;;
                compare) formats="text json" ;;
                *) formats="rows text json csv tsv nagios prometheus" ;;
            esac
            COMPREPLY=($(compgen -W "$formats" -- "$cur"))
            return ;;
        --max-input)
            COMPREPLY=($(compgen -W "64M 1G 4G" -- "$cur"))
            return ;;
    esac
    $split && return

    if [[ $cur == -* ]]; then
        local options="-f --file --format --max-input --now --oui-dir -o --output -h --help -v --version"
        [[ $command == pools ]] && options+=" --warning --critical --warn-count --crit-count"
        [[ $command == find ]] && options+=" --vendor"
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    elif [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "$commands" -- "$cur"))
    elif [[ $command == diff || $command == compare ]]; then
        _kelto_cli_files # their arguments are the files
    fi
}
complete -F _kelto_cli kelto-cli
