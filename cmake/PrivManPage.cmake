# privhost's manual page, made from the program's own help so that the two
# never tell different things: the synopsis and the commands from
# `privhost --help`, and each command's own help (`privhost COMMAND --help`)
# as a subsection of COMMANDS.
#
# The help is kept as the program prints it, in no-fill blocks. help2man was
# tried and reflows it wrongly: privhost's help has a two-line synopsis after
# a lower-case "usage:", command entries whose descriptions wrap onto lines of
# their own, and a wrapped exit-status paragraph, which help2man splits into
# stray entries; and the per-command help it could only take in verbatim
# anyway. The columns read well on a terminal, where the page is read.
#
# Run as a script:
#   cmake -DPRIVHOST=... -DVERSION=... -DCOMMANDS=init,call,... -DOUTPUT=.../privhost.1.gz
#         -P PrivManPage.cmake

foreach(required PRIVHOST VERSION COMMANDS OUTPUT)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "PrivManPage.cmake needs -D${required}=...")
  endif()
endforeach()
string(REPLACE "," ";" COMMANDS "${COMMANDS}")

# Text as roff shows it literally: backslashes and hyphens escaped (a plain
# "-" may be set as a hyphen, and options must stay copyable), and a line
# that begins with a control character is not taken as a request.
function(priv_roff_literal text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The help of `privhost ARGS...`, without its last line break.
function(priv_help out)
  execute_process(COMMAND ${PRIVHOST} ${ARGN}
    OUTPUT_VARIABLE help RESULT_VARIABLE status ERROR_VARIABLE errors)
  if(NOT status EQUAL 0 OR help STREQUAL "")
    message(FATAL_ERROR "privhost ${ARGN} failed (${status}): ${errors}")
  endif()
  string(REGEX REPLACE "\n+$" "" help "${help}")
  set(${out} "${help}" PARENT_SCOPE)
endfunction()

priv_help(main --help)
# The synopsis is the usage up to the list of commands; "usage: " gives way
# to the section's title.
string(FIND "${main}" "\ncommands:" commands_at)
if(commands_at LESS 0)
  message(FATAL_ERROR "privhost --help lists no commands:\n${main}")
endif()
string(SUBSTRING "${main}" 0 ${commands_at} synopsis)
math(EXPR commands_at "${commands_at} + 1")
string(SUBSTRING "${main}" ${commands_at} -1 description)
string(REGEX REPLACE "^usage: " "" synopsis "${synopsis}")
string(REGEX REPLACE "\n       " "\n" synopsis "${synopsis}")
priv_roff_literal("${synopsis}" synopsis)
priv_roff_literal("${description}" description)

# The date is the build's; SOURCE_DATE_EPOCH fixes it for a rebuild that
# must give the same bytes.
string(TIMESTAMP date "%Y-%m-%d" UTC)
set(page ".TH PRIVHOST 1 \"${date}\" \"privhost ${VERSION}\" \"User Commands\"
.SH NAME
privhost \\- host of the privilege module
.SH SYNOPSIS
.nf
${synopsis}
.fi
.SH DESCRIPTION
\\fBprivhost\\fR creates the privilege tables, drives the module's exports from the
command line, moves the privilege data between databases and files and, with
a display, runs a desktop host around the module's windows.
.PP
.nf
${description}
.fi
.SH COMMANDS
Each command prints its part with \\fBprivhost \\fICOMMAND\\fB \\-\\-help\\fR.
")
foreach(command ${COMMANDS})
  priv_help(help ${command} --help)
  priv_roff_literal("${help}" help)
  string(APPEND page ".SS ${command}\n.nf\n${help}\n.fi\n")
endforeach()
# Where the program keeps its data, which the help leaves to the README.
string(APPEND page ".SH FILES
.TP
.I ~/.local/share/privhost
The default application folder (\\fB\\-\\-app\\-dir\\fR; \\fI$XDG_DATA_HOME/privhost\\fR when
that is set): \\fIapps.json\\fR, the SQLite database \\fIdata/privilege.db\\fR, the settings
under \\fIConfig\\fR and the log \\fILog/privilege.log\\fR.
.TP
.I /usr/share/privhost
The schemas, the sample applications file and the login pictures.
")

get_filename_component(output_dir ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${output_dir})
set(page_file ${output_dir}/privhost.1)
file(WRITE ${page_file} "${page}")
# Debian installs manual pages compressed, without a name or time stamp in
# the gzip header.
execute_process(COMMAND gzip -9nf ${page_file} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip ${page_file} failed")
endif()
if(NOT "${page_file}.gz" STREQUAL "${OUTPUT}")
  file(RENAME ${page_file}.gz ${OUTPUT})
endif()
