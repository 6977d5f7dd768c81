# fish completion for velmora-search: its options, and the names of topics and sites as the
# program itself lists them (so they are the catalogue and topics the user has now).

# The names of --list-topics, --list-sites or --watches ($argv[1]) of the program being
# completed, in field $argv[2] (2 unless given).
function __velmora_search_names
    set -l program (commandline -opc)[1]
    set -l field 2
    set -q argv[2]; and set field $argv[2]
    $program $argv[1] --format tsv 2>/dev/null | string split -f$field \t
end

set -l c complete -c velmora-search
$c -f
$c -s t -l topic -x -a '(__velmora_search_names --list-topics)' -d 'Search the sites of a topic'
$c -s s -l site -x -a '(__velmora_search_names --list-sites)' -d 'Search this site'
$c -l or -d 'Find pages with any of the keywords'
$c -l limit -x -d 'Hits wanted per site (1-100)'
$c -l time -x -d 'Time limit in seconds (0: none)'
$c -l format -x -a 'tsv json csv' -d 'How records are written'
$c -l strict -d 'Exit with 4 when any site failed'
$c -l sites -r -F -d "Also write each site's record to a file"
$c -l check -d "Check the link of every hit"
$c -l merge -d 'Write each page once, with the sites that found it'
$c -l report -r -F -d 'Also write the hits as an HTML report'
$c -l list-sites -d 'List the sites of the catalogue'
$c -l list-topics -d 'List the topics and their sites'
$c -l check-sites -d 'Search each site for its test keywords'
$c -l import-opensearch -r -F -d 'Add a site from its OpenSearch description'
$c -l remove-site -x -a '(__velmora_search_names --list-sites)' -d 'Remove a site of your own'
$c -l user-agent -x -d 'The User-Agent sent to the sites'
$c -l history -d 'List the searches run so far'
$c -l run -x -d 'Write the hits of a stored search'
$c -l watches -d 'List the watched searches'
$c -l watch -x -a '(__velmora_search_names --watches 1)' -d 'Run a watched search, writing only its new hits'
$c -l unwatch -x -a '(__velmora_search_names --watches 1)' -d 'Stop watching'
$c -s h -l help -d 'Show the help'
$c -s v -l version -d 'Show the version'
# The site checker takes site names.
$c -n '__fish_seen_argument -l check-sites' -a '(__velmora_search_names --list-sites)'
