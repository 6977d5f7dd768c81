# bash completion for velmora-search: its options, and the names of topics and sites as the
# program itself lists them (so they are the catalogue and topics the user has now).

# The names of --list-topics, --list-sites or --watches ($2) of the program ($1) that start with
# the word ($3), ignoring case as the program does, each quoted for the command line. The name
# is the record's field $4 (2 unless given).
_velmora_search_names()
{
    local word=${3//\\/} name
    word=${word#[\"\']}
    local IFS=$'\n'
    for name in $("$1" "$2" --format tsv 2>/dev/null | cut -f"${4:-2}"); do
        [[ ${name,,} == "${word,,}"* ]] && COMPREPLY+=("$(printf '%q' "$name")")
    done
}

_velmora_search()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    # --topic=NAME: "=" is a word of its own to readline.
    if [[ $cur == = ]]; then
        cur=
    elif [[ $prev == = && $COMP_CWORD -ge 2 ]]; then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    fi
    COMPREPLY=()
    case $prev in
    -t | --topic)
        _velmora_search_names "$1" --list-topics "$cur"
        return
        ;;
    -s | --site)
        _velmora_search_names "$1" --list-sites "$cur"
        return
        ;;
    --watch | --unwatch)
        _velmora_search_names "$1" --watches "$cur" 1
        return
        ;;
    --format)
        mapfile -t COMPREPLY < <(compgen -W 'tsv json csv' -- "$cur")
        return
        ;;
    --sites | --report)
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        compopt -o filenames 2>/dev/null
        return
        ;;
    --limit | --time | --user-agent | --run)
        return
        ;;
    esac
    local word
    for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
        [[ $word == -- ]] && return # keywords only
    done
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W '-t --topic -s --site --or --limit --time --format
            --strict --sites --check --merge --report --list-sites --list-topics --check-sites
            --import-opensearch --remove-site --user-agent --history --run --watches --watch --unwatch
            -h --help -v --version --' -- "$cur")
        return
    fi
    # The site checker takes site names; a search takes keywords, which have no list.
    for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
        if [[ $word == --check-sites ]]; then
            _velmora_search_names "$1" --list-sites "$cur"
            return
        fi
    done
}

complete -F _velmora_search velmora-search
