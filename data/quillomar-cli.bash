# bash completion for quillomar-cli: verbs, options, folders and *.pod archives, and the
# entry names of the archive already on the command line for list, extract, cat, rm and mv; mount
# points complete as folders.

_quillomar_cli_archives()
{
    local cur=$1 IFS=$'\n' path
    compopt -o filenames 2>/dev/null
    for path in $(compgen -d -- "$cur"); do COMPREPLY+=("$path"); done
    for path in $(compgen -f -- "$cur"); do
        if [[ -f $path && ${path,,} == *.pod ]]; then COMPREPLY+=("$path"); fi
    done
}

_quillomar_cli_folders()
{
    local IFS=$'\n'
    compopt -o filenames 2>/dev/null
    COMPREPLY+=($(compgen -d -- "$1"))
}

_quillomar_cli_entries()
{
    local program=$1 archive=$2 cur=$3 IFS=$'\n' name
    archive=${archive/#\~/$HOME}
    [[ -f $archive ]] || return
    compopt -o nospace 2>/dev/null
    # Each folder once (with its separator), and the names at the level being typed. The tool
    # matches in any case: names are offered in lower case to one who types in lower case.
    local lower=
    [[ -n $cur && $cur == "${cur,,}" ]] && lower=1
    local -A seen=()
    while IFS= read -r name; do
        [[ -n $lower ]] && name=${name,,}
        [[ ${name,,} == "${cur,,}"* ]] || continue
        local rest=${name:${#cur}}
        # What is typed keeps its letter case; the tool matches in any case.
        if [[ $rest == */* ]]; then
            name=${cur}${rest%%/*}/
        else
            name="${cur}${rest} "
        fi
        [[ -n ${seen[$name]+x} ]] && continue
        seen[$name]=1
        COMPREPLY+=("$name")
    done < <("${program/#\~/$HOME}" list --slash -- "$archive" 2>/dev/null)
}

_quillomar_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD - 1]}
    local verbs="pack info list extract cat verify diff mount unmount add rm mv set help"
    COMPREPLY=()

    # The verb, and the operands typed after it.
    local verb="" i
    local -a operands=()
    for ((i = 1; i < COMP_CWORD; i++)); do
        local word=${COMP_WORDS[i]}
        if [[ -z $verb ]]; then
            case $word in
                --codepage) ((i++)) ;;
                -*) ;;
                *) verb=$word ;;
            esac
            continue
        fi
        case $word in
            -o | --output | --name | --author | --description | --copyright | --priority | --like | \
                --exclude | --changed-from | -C | --directory | --codepage | --as) ((i++)) ;;
            -*) ;;
            *) operands+=("$word") ;;
        esac
    done

    case $prev in
        --codepage)
            COMPREPLY=($(compgen -W "1250 1251 1252 1253 1254 1255 1256 1257 1258" -- "$cur"))
            return
            ;;
        -o | --output | --like | --changed-from)
            _quillomar_cli_archives "$cur"
            return
            ;;
        -C | --directory)
            _quillomar_cli_folders "$cur"
            return
            ;;
        --name | --author | --description | --copyright | --priority | --exclude | --as)
            return
            ;;
    esac

    if [[ -z $verb ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "--codepage --help --version" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$verbs" -- "$cur"))
        fi
        return
    fi

    local options
    case $verb in
        pack) options="-o --output --name --author --description --copyright --priority --like --exclude
                       --changed-from --dry-run --force --log -v --verbose -q --quiet --help" ;;
        info) options="--json --help" ;;
        list) options="-l --long --json --slash -0 --null --help" ;;
        extract) options="-C --directory --lowercase -q --quiet --help" ;;
        add) options="-C --directory --as -o --output --dry-run -v --verbose --help" ;;
        rm | mv) options="-o --output --dry-run -v --verbose --help" ;;
        set) options="--description --author --copyright --priority -o --output --dry-run -v --verbose --help" ;;
        cat | verify) options="--help" ;;
        diff) options="--json --help" ;;
        mount) options="-f --foreground --lowercase --help" ;;
        unmount) options="--help" ;;
        help) options="" ;;
        *) return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi

    case $verb in
        pack)
            [[ ${#operands[@]} -eq 0 ]] && _quillomar_cli_folders "$cur"
            ;;
        info)
            [[ ${#operands[@]} -eq 0 ]] && _quillomar_cli_archives "$cur"
            ;;
        verify)
            _quillomar_cli_archives "$cur"
            ;;
        diff)
            [[ ${#operands[@]} -lt 2 ]] && _quillomar_cli_archives "$cur"
            ;;
        mount)
            case ${#operands[@]} in
                0) _quillomar_cli_archives "$cur" ;;
                1) _quillomar_cli_folders "$cur" ;;
            esac
            ;;
        unmount)
            [[ ${#operands[@]} -eq 0 ]] && _quillomar_cli_folders "$cur"
            ;;
        add)
            # PATHs below -C DIR (default: here).
            if [[ ${#operands[@]} -eq 0 ]]; then
                _quillomar_cli_archives "$cur"
            else
                local directory=. IFS=$'\n'
                for ((i = 1; i < COMP_CWORD; i++)); do
                    [[ ${COMP_WORDS[i]} == -C || ${COMP_WORDS[i]} == --directory ]] && directory=${COMP_WORDS[i + 1]}
                done
                directory=${directory/#\~/$HOME}
                compopt -o filenames 2>/dev/null
                local path
                for path in $(cd -- "$directory" 2>/dev/null && compgen -f -- "$cur"); do COMPREPLY+=("$path"); done
            fi
            ;;
        mv)
            if [[ ${#operands[@]} -eq 0 ]]; then
                _quillomar_cli_archives "$cur"
            elif [[ ${#operands[@]} -eq 1 ]]; then
                _quillomar_cli_entries "${COMP_WORDS[0]}" "${operands[0]}" "$cur"
            fi
            ;;
        set)
            [[ ${#operands[@]} -eq 0 ]] && _quillomar_cli_archives "$cur"
            ;;
        list | extract | cat | rm)
            if [[ ${#operands[@]} -eq 0 ]]; then
                _quillomar_cli_archives "$cur"
            else
                _quillomar_cli_entries "${COMP_WORDS[0]}" "${operands[0]}" "$cur"
            fi
            ;;
        help)
            [[ ${#operands[@]} -eq 0 ]] && COMPREPLY=($(compgen -W "$verbs" -- "$cur"))
            ;;
    esac
}

complete -F _quillomar_cli quillomar-cli
