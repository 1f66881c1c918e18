# bash completion for depbase-cli, dbc and calibmod-cli.
# Source it (". tools/completion/zmd-tools.bash") or drop it into
# /usr/share/bash-completion/completions under each tool's name.
#
# Commands are completed from the lists below; the options of a command are
# read from "TOOL COMMAND --help" when first asked for, so they follow the
# tool that is installed.

_zmd_tool_options()
{
    # $1 tool, $2 command: every --option its help names, once each.
    local key="${1}_${2}"
    key=${key//[^A-Za-z0-9_]/_}
    local cached="_zmd_opts_$key"
    if [[ -z ${!cached+set} ]]; then
        local opts
        opts=$("$1" ${2:+"$2"} --help 2>/dev/null | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u | tr '\n' ' ')
        printf -v "$cached" '%s' "$opts"
    fi
    printf '%s' "${!cached}"
}

_zmd_tool_complete()
{
    local tool=$1 cur prev command="" i
    shift
    local commands="$*"
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    for ((i = 1; i < COMP_CWORD; i++)); do
        case " $commands " in
        *" ${COMP_WORDS[i]} "*) command=${COMP_WORDS[i]}; break ;;
        esac
    done

    # Values of valued options.
    case $prev in
    --source-dir|--calib-dir)
        COMPREPLY=($(compgen -d -- "$cur")); return ;;
    -o|--output|--against|--source)
        COMPREPLY=($(compgen -f -- "$cur")); return ;;
    --printer)
        local dir=${ZMD_PRINTER_DIR:-$HOME/.config/zmd/printers} f names=()
        for f in "$dir"/*.conf; do [[ -e $f ]] && names+=("$(basename "$f" .conf)"); done
        COMPREPLY=($(compgen -W "${names[*]}" -- "$cur")); return ;;
    --int|--str|--param|--mode|--ids|--prefix|--list-number|--table|--ident|--size)
        return ;;
    esac

    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
        return
    fi
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(_zmd_tool_options "$tool" "$command")" -- "$cur"))
        return
    fi
    case $tool/$command in
    depbase-cli/query|depbase-cli/explain)
        # The first positional is the database.
        local positionals=0
        for ((i = 1; i < COMP_CWORD; i++)); do
            [[ ${COMP_WORDS[i]} != -* && ${COMP_WORDS[i]} != "$command" ]] && ((positionals++))
        done
        ((positionals == 0)) && COMPREPLY=($(compgen -W "root drv lm mnt pa sm" -- "$cur"))
        ;;
    depbase-cli/help|dbc/help)
        COMPREPLY=($(compgen -W "$commands" -- "$cur")) ;;
    dbc/*)
        COMPREPLY=($(compgen -f -X '!*.zdb' -- "$cur") $(compgen -d -- "$cur")) ;;
    calibmod-cli/*)
        COMPREPLY=($(compgen -f -- "$cur")) ;;
    esac
}

_zmd_depbase_cli() { _zmd_tool_complete depbase-cli query explain dump help; }
_zmd_dbc() { _zmd_tool_complete dbc compile check print catalogue validate lines diff help; }
_zmd_calibmod_cli() { _zmd_tool_complete calibmod-cli calibrate inspect list make-sample plot check; }

complete -F _zmd_depbase_cli depbase-cli
complete -F _zmd_dbc dbc
complete -F _zmd_calibmod_cli calibmod-cli
