# quillomar_gzip(INPUT OUTPUT TARGET): OUTPUT is INPUT compressed as Debian installs manuals and
# changelogs (gzip -9n: the best compression, no name or time inside, so the same input gives the
# same bytes); TARGET builds it with the rest.
function(quillomar_gzip input output target)
  add_custom_command(
    OUTPUT ${output}
    COMMAND sh -c "gzip -9nc \"$1\" >\"$2\"" gzip ${input} ${output}
    DEPENDS ${input}
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${output})
endfunction()
