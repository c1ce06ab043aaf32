# bash completion for kelvane-cli
_kelvane_cli() {
    local cur prev words cword
    _init_completion || return
    local commands="rules scan clean large duplicates map move quarantine history startup apps settings"
    if ((cword == 1)); then
        COMPREPLY=($(compgen -W "$commands --help" -- "$cur"))
        return
    fi
    case "$prev" in
        --root | --rules) _filedir -d; return ;;
        --min-mb | --note | --older-than-days) return ;;
    esac
    case "${words[1]}" in
        quarantine)
            ((cword == 2)) && COMPREPLY=($(compgen -W "list restore delete purge" -- "$cur")) && return ;;
        startup)
            ((cword == 2)) && COMPREPLY=($(compgen -W "list enable disable" -- "$cur")) && return ;;
        apps)
            ((cword == 2)) && COMPREPLY=($(compgen -W "list leftovers uninstall" -- "$cur")) && return ;;
        settings)
            ((cword == 2)) && COMPREPLY=($(compgen -W "show set ignore schedule" -- "$cur")) && return ;;
        move | map)
            _filedir; return ;;
    esac
    if [[ "$cur" == -* ]]; then
        COMPREPLY=($(compgen -W "--json --quiet --yes --help --deep --root --min-mb --note --rules" -- "$cur"))
    fi
}
complete -F _kelvane_cli kelvane-cli
