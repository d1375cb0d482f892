# Run at build time (cmake -P) for one program: its manual page through
# help2man and its bash completion, both from what the built program says
# in --help, so neither can drift from the options it takes.
#   PROGRAM      the built executable       NAME        its installed name
#   DESCRIPTION  the manual's one-line NAME  MAN         the .1.gz to write
#   COMPLETION   the completion script      TEMPLATE    completion.bash.in
#   GZIP, HELP2MAN  the tools

function(help_of out)
  execute_process(COMMAND ${PROGRAM} ${ARGN} --help OUTPUT_VARIABLE text RESULT_VARIABLE code)
  if(NOT code EQUAL 0)
    set(text "")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Verbs are the lines under "Verbs:" ("  profile create NAME ...") or usage
# lines naming the program and a word ("usage: orvane-audio probe FILE").
# The rest of the help (out_rest) says what may come before a verb.
function(verbs_of help out out_rest)
  string(REPLACE "\n" ";" lines "${help}")
  set(verbs "")
  set(rest "")
  set(in_list OFF)
  foreach(line IN LISTS lines)
    if(line MATCHES "^Verbs:")
      set(in_list ON)
    elseif(in_list AND line MATCHES "^  ([a-z]+( [a-z]+)*)( |$)")
      list(APPEND verbs "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^([A-Za-z]+:)? *${NAME} ([a-z]+)( |$)")
      list(APPEND verbs "${CMAKE_MATCH_2}")
    else()
      set(in_list OFF)
      string(APPEND rest "${line}\n")
    endif()
  endforeach()
  list(REMOVE_DUPLICATES verbs)
  set(${out} "${verbs}" PARENT_SCOPE)
  set(${out_rest} "${rest}" PARENT_SCOPE)
endfunction()

function(options_of help out)
  string(REGEX MATCHALL "--[a-z][a-z0-9-]*=?" options "${help}")
  list(APPEND options --help --version)
  list(REMOVE_DUPLICATES options)
  list(SORT options)
  string(JOIN " " text ${options})
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# "--data DIR", "--profile=NAME": an option followed by a value in capitals,
# sorted by what a person would type there.
function(values_of help out)
  string(REGEX MATCHALL "--[a-z][a-z0-9-]*[ =][A-Z][A-Z|.]*" pairs "${help}")
  set(entries "")
  foreach(pair IN LISTS pairs)
    string(REGEX MATCH "^(--[a-z0-9-]+)[ =](.*)$" _ "${pair}")
    set(option "${CMAKE_MATCH_1}")
    set(value "${CMAKE_MATCH_2}")
    if(option STREQUAL "--profile")
      set(kind profile)
    elseif(value MATCHES "DIR|FOLDER")
      set(kind folder)
    elseif(value MATCHES "FILE|PATH|IMAGE")
      set(kind file)
    else()
      set(kind other)
    endif()
    list(APPEND entries "[${option}]=${kind}")
  endforeach()
  list(REMOVE_DUPLICATES entries)
  string(JOIN " " text ${entries})
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# A verb's help from the verb on: what comes before it ("Usage: cartvault
# [--profile NAME]") belongs to the program, not to the verb.
function(verb_own_help text out)
  string(REGEX REPLACE "^[Uu]sage: *${NAME} *(\\[[^]]*\\] *)*" "" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# A verb's help as a manual page's entry: its synopsis as the tag, its text
# as one filled paragraph.
function(verb_entry text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(FIND "${text}" "\n" end)
  string(SUBSTRING "${text}" 0 ${end} synopsis)
  math(EXPR end "${end} + 1")
  string(SUBSTRING "${text}" ${end} -1 body)
  string(REGEX REPLACE "[ \n]+" " " body "${body}")
  string(STRIP "${body}" body)
  set(${out} ".TP\n.B \\&${synopsis}\n\\&${body}\n" PARENT_SCOPE)
endfunction()

help_of(help)
verbs_of("${help}" verbs before_verb)
options_of("${before_verb}" options)
set(all_help "${help}")
set(verb_list "")
set(verb_options "")
set(verb_pages "")
foreach(verb IN LISTS verbs)
  string(REPLACE " " ";" words "${verb}")
  help_of(verb_help ${words})
  list(APPEND verb_list "'${verb}'")
  if(verb_help STREQUAL "" OR verb_help STREQUAL help)
    continue()
  endif()
  string(APPEND all_help "${verb_help}")
  verb_own_help("${verb_help}" verb_help)
  options_of("${verb_help}" these)
  string(APPEND verb_options "['${verb}']='${these}' ")
  verb_entry("${verb_help}" entry)
  string(APPEND verb_pages "${entry}")
endforeach()
values_of("${all_help}" values)

# bash completion
string(MAKE_C_IDENTIFIER "${NAME}" FUNCTION)
string(JOIN " " VERBS ${verb_list})
set(VERB_OPTIONS "${verb_options}")
set(OPTIONS "${options}")
set(VALUES "${values}")
configure_file(${TEMPLATE} ${COMPLETION} @ONLY)

# manual page; each verb's own help becomes a section of its own
set(include_option "")
if(verb_pages)
  get_filename_component(man_dir ${MAN} DIRECTORY)
  file(WRITE "${man_dir}/${NAME}.h2m" "[VERBS]\n${verb_pages}")
  set(include_option "--include=${man_dir}/${NAME}.h2m")
endif()
string(REGEX REPLACE "\\.gz$" "" page ${MAN})
execute_process(COMMAND ${HELP2MAN} --no-info --section=1 --name=${DESCRIPTION} ${include_option} --output=${page} ${PROGRAM}
                RESULT_VARIABLE code)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "help2man could not make the manual page of ${NAME}")
endif()
execute_process(COMMAND ${GZIP} -9nf ${page} RESULT_VARIABLE code)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "could not compress ${page}")
endif()
