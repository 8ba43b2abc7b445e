# Run by CPack on the gathered files before they are packed: SHA256SUMS
# lists every other file of the package, in the form `sha256sum -c` reads.
set(root ${CPACK_TEMPORARY_INSTALL_DIRECTORY})
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${root} ${root}/*)
list(REMOVE_ITEM files SHA256SUMS)
list(SORT files)
set(sums "")
foreach(file ${files})
  file(SHA256 ${root}/${file} hash)
  string(APPEND sums "${hash}  ${file}\n")
endforeach()
file(WRITE ${root}/SHA256SUMS "${sums}")
