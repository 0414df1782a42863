// The SystemVerilog skeleton of a module tree: one hardware module per process, in which a
// process with a hardware cell instantiates that cell typed by its output image type, and a
// module connects its children with wires named after the producing instance and port. Every
// image travels as a data bus and a 3-bit sync bus, clocked by iPixClk. The text is built from
// the process interface alone, line by line, each line followed by CR LF; a kind adds parameter
// lines for its cell through ProcVirtual::WriteVerilogParams.
#pragma once

#include <string>
#include <vector>

#include "process/proc_virtual.h"

namespace kandrel {

class ProcModule;

// The type suffix ("INT" … "CMPLXx3", empty for an unknown type) and the bus range "[%2d:0]"
// (empty for an unknown type) of an image type id.
std::string VerilogTypeSuffix(int type);
std::string VerilogRange(int type);

// The display name with every space and "." made "_".
std::string VerilogModuleName(const ProcVirtual& p);
std::string VerilogInputPort(ProcVirtual& p, int i);
std::string VerilogOutputPort(ProcVirtual& p, int j);
std::string VerilogInputSync(int i);
std::string VerilogOutputSync(int j);
std::string VerilogInputRange(ProcVirtual& p, int i);
std::string VerilogOutputRange(ProcVirtual& p, int j);
// verilogName + "_INT", "_FLT" or "_CMPLX" (+ "x3" for three channels); empty without a cell.
std::string VerilogCellName(const ProcVirtual& p, int type);
// "Proc" + (k + 1).
std::string VerilogInstanceName(int k);

// The pieces of the text, appended to text.
void WriteVerilogHeader(ProcVirtual& p, std::string& text);
// The cell instance of a process (its comment lines when it has no cell).
void WriteVerilogBody(ProcVirtual& p, std::string& text);
void WriteVerilogFooter(std::string& text);
// The module of p: a process's header, body and footer; a module's own module, with its children
// instantiated and wired, then the modules of its children, depth first.
void WriteVerilogModule(ProcVirtual& p, std::string& text);
// The three lines that open a file (and the Verilog window).
void WriteVerilogFileHeader(std::string& text);

// The file header and the module text of m (UTF-8).
std::string VerilogText(ProcModule& m);
// The module names that the text of m defines more than once (each listed once, in text order).
std::vector<std::string> RepeatedVerilogModuleNames(ProcModule& m);

// Writes VerilogText of m to path in cp932 without a byte-order mark (asks for a file named after
// the module when path is empty), beside the target and renamed over it, so that a failed write
// keeps the earlier file. The path written, or empty when cancelled or failed (with a message
// naming the file).
std::string SaveVerilogFile(ProcModule& m, const std::string& path);

}  // namespace kandrel
