// The TMS9900 op set, described once: how each op is encoded and written,
// what its translated code does with its operands, which semantics function
// of rom/tms9900_ops.h it calls, and which flags it writes and reads.
// Decoding, disassembly, reachability, flag liveness and emission all read
// this table.
#pragma once

#include <cstdint>

#include "rom/tms9900_ops.h"

enum class Op {
  SZC, SZCB, S, SB, C, CB, A, AB, MOV, MOVB, SOC, SOCB,
  JMP, JLT, JLE, JEQ, JHE, JGT, JNE, JNC, JOC, JNO, JL, JH, JOP, SBO, SBZ, TB,
  COC, CZC, XOR, XOP, LDCR, STCR, MPY, DIV,
  SRA, SRL, SLA, SRC,
  BLWP, B, X, CLR, NEG, INV, INC, INCT, DEC, DECT, BL, SWPB, SETO, ABS,
  LI, AI, ANDI, ORI, CI, STWP, STST, LWPI, LIMI, IDLE, RSET, RTWP, CKON, CKOF, LREX,
};

// Operand form: the fields of the instruction word and the words after it.
enum class Form {
  TWO_GENERAL,         // Format I: general source, general destination
  JUMP,                // Format II: signed displacement to a destination
  CRU_BIT,             // Format II: signed displacement to a CRU bit
  GENERAL_REGISTER,    // Format III/IX: general source, register
  GENERAL_COUNT,       // Format IX: general operand, count (XOP, LDCR, STCR)
  SHIFT,               // Format V: register, count
  ONE_GENERAL,         // Format VI: one general operand
  REGISTER_IMMEDIATE,  // Format VIII: register, immediate word
  REGISTER,            // Format VIII: register only
  IMMEDIATE,           // Format VIII: immediate word only
  NO_OPERAND,          // Format VIII: nothing
};

// What the translated code does, with S the source value (the general
// source, the immediate or the shift count) and D the destination (the
// general destination or the register).
enum class Effect {
  STORE,            // D = f(S), or f() without a source
  UPDATE,           // D = f(D, S), or f(D) without a source
  COMPARE,          // f(S, D); CI: f(D, S), the register against the immediate
  REGISTER_PAIR,    // f(S, address of Rd)
  CALL,             // f(S)
  CRU_LOAD,         // f(S, count, CRU base)
  CRU_STORE,        // general operand = f(count, CRU base)
  CRU_BIT,          // f(CRU base, displacement)
  JUMP,             // to the destination, when f(status()) holds (always without f)
  BRANCH,           // to the operand's address
  BRANCH_AND_LINK,  // R11 = the next address, then to the operand's address
  WORKSPACE,        // changes or reads the workspace pointer: never translated
  UNTRANSLATED,     // no rule in the translated code
};

struct OpDescription {
  Op op;
  const char* mnemonic;
  std::uint16_t opcode;  // the instruction word with every operand field 0
  Form form;
  Effect effect;
  const char* semantics;          // the function in rom/tms9900_ops.h, or nullptr
  bool (*condition)(Status);      // JUMP: the same function, to evaluate here
  unsigned flags_written;         // FLAG_ bits that every execution sets
  unsigned flags_read;            // FLAG_ bits the op itself reads
  bool byte;                      // byte operands (LDCR/STCR: decided by the count)
};

// The description of op.
const OpDescription& describe(Op op);

// The op whose encoding matches word, or nullptr when the word is none.
const OpDescription* match_opcode(std::uint16_t word);

// Bits of the instruction word that select the op, by form.
std::uint16_t opcode_mask(Form form);

// Every description, in Op order.
const OpDescription* op_table_begin();
const OpDescription* op_table_end();
