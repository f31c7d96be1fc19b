# bash completion for kelto-cli: commands, options, --format values and file paths.

_kelto_cli()
{
    local cur prev words cword
    if declare -F _init_completion > /dev/null; then
        _init_completion || return
    else
        cur=${COMP_WORDS[COMP_CWORD]}
        prev=${COMP_WORDS[COMP_CWORD - 1]}
        words=("${COMP_WORDS[@]}")
        cword=$COMP_CWORD
    fi

    local commands="list lookup find check free"
    local command="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            -f | --file | --format | --max-input) i=$((i + 1)) ;;
            -*) ;;
            *) command=${words[i]}; break ;;
        esac
    done

    case $prev in
        -f | --file)
            COMPREPLY=($(compgen -f -- "$cur"))
            compopt -o filenames 2> /dev/null
            return ;;
        --format)
            local formats
            case $command in
                list | find) formats="rows json csv tsv" ;;
                lookup) formats="text json tsv" ;;
                check | free) formats="text json" ;;
                *) formats="rows text json csv tsv" ;;
            esac
            COMPREPLY=($(compgen -W "$formats" -- "$cur"))
            return ;;
        --max-input)
            COMPREPLY=($(compgen -W "64M 1G 4G" -- "$cur"))
            return ;;
    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "-f --file --format --max-input -h --help -v --version" -- "$cur"))
    elif [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "$commands" -- "$cur"))
    fi
}
complete -F _kelto_cli kelto-cli
