//==========================================================
//	Kandrel Auto Generation
//==========================================================

module FloatAdder( input iPixClk,
	//ExtIn
	//ExtOut
		output [95:0]	O1_FLTx3,
		output [ 2:0]	O1_Sync

	);

	Plate
		Proc1( iPixClk,
			//In
			//Out
				Proc1_O1_FLT,
				Proc1_O1_Sync
			);
			wire [31:0]	Proc1_O1_FLT;
			wire [ 2:0]	Proc1_O1_Sync;

	Mix1
		Proc2( iPixClk,
			//In
				Proc1_O1_FLT,
				Proc1_O1_Sync,
				Proc1_O1_FLT,
				Proc1_O1_Sync,
				Proc1_O1_FLT,
				Proc1_O1_Sync,
			//Out
				Proc2_O1_FLTx3,
				Proc2_O1_Sync
			);
			wire [95:0]	Proc2_O1_FLTx3;
			wire [ 2:0]	Proc2_O1_Sync;

	Chart
		Proc3( iPixClk,
			//In
			//Out
				Proc3_O1_FLT,
				Proc3_O1_Sync
			);
			wire [31:0]	Proc3_O1_FLT;
			wire [ 2:0]	Proc3_O1_Sync;

	Mix2
		Proc4( iPixClk,
			//In
				Proc3_O1_FLT,
				Proc3_O1_Sync,
				Proc3_O1_FLT,
				Proc3_O1_Sync,
				Proc3_O1_FLT,
				Proc3_O1_Sync,
			//Out
				Proc4_O1_FLTx3,
				Proc4_O1_Sync
			);
			wire [95:0]	Proc4_O1_FLTx3;
			wire [ 2:0]	Proc4_O1_Sync;

	Adder
		Proc5( iPixClk,
			//In
				Proc2_O1_FLTx3,
				Proc2_O1_Sync,
				Proc4_O1_FLTx3,
				Proc4_O1_Sync,
			//Out
				Proc5_O1_FLTx3,
				Proc5_O1_Sync
			);
			wire [95:0]	Proc5_O1_FLTx3;
			wire [ 2:0]	Proc5_O1_Sync;

	//ExtOut
	assign O1_FLTx3	= Proc5_O1_FLTx3;
	assign O1_Sync	= Proc5_O1_Sync;

endmodule
//----------------------------------------------------------

module Plate( input iPixClk,
	//ExtIn
	//ExtOut
		output [31:0]	O1_FLT,
		output [ 2:0]	O1_Sync

	);

	//-----------------------
	// Under construction...
	//-----------------------
endmodule
//----------------------------------------------------------

module Mix1( input iPixClk,
	//ExtIn
		input [31:0]	Ext_In1_FLT,
		input [ 2:0]	Ext_In1_Sync,

		input [31:0]	Ext_In2_FLT,
		input [ 2:0]	Ext_In2_Sync,

		input [31:0]	Ext_In3_FLT,
		input [ 2:0]	Ext_In3_Sync,

	//ExtOut
		output [95:0]	O1_FLTx3,
		output [ 2:0]	O1_Sync

	);

	Ch3Mixer_FLTx3	Proc1( iPixClk, 
			//In
				Ext_In1_FLT,
				Ext_In1_Sync,
				Ext_In2_FLT,
				Ext_In2_Sync,
				Ext_In3_FLT,
				Ext_In3_Sync,
			//Out
				O1_FLTx3,
				O1_Sync
			);
endmodule
//----------------------------------------------------------

module Chart( input iPixClk,
	//ExtIn
	//ExtOut
		output [31:0]	O1_FLT,
		output [ 2:0]	O1_Sync

	);

	//-----------------------
	// Under construction...
	//-----------------------
endmodule
//----------------------------------------------------------

module Mix2( input iPixClk,
	//ExtIn
		input [31:0]	Ext_In1_FLT,
		input [ 2:0]	Ext_In1_Sync,

		input [31:0]	Ext_In2_FLT,
		input [ 2:0]	Ext_In2_Sync,

		input [31:0]	Ext_In3_FLT,
		input [ 2:0]	Ext_In3_Sync,

	//ExtOut
		output [95:0]	O1_FLTx3,
		output [ 2:0]	O1_Sync

	);

	Ch3Mixer_FLTx3	Proc1( iPixClk, 
			//In
				Ext_In1_FLT,
				Ext_In1_Sync,
				Ext_In2_FLT,
				Ext_In2_Sync,
				Ext_In3_FLT,
				Ext_In3_Sync,
			//Out
				O1_FLTx3,
				O1_Sync
			);
endmodule
//----------------------------------------------------------

module Adder( input iPixClk,
	//ExtIn
		input [95:0]	Ext_In1_FLTx3,
		input [ 2:0]	Ext_In1_Sync,

		input [95:0]	Ext_In2_FLTx3,
		input [ 2:0]	Ext_In2_Sync,

	//ExtOut
		output [95:0]	O1_FLTx3,
		output [ 2:0]	O1_Sync

	);

	Adder_FLTx3	Proc1( iPixClk, 
			//In
				Ext_In1_FLTx3,
				Ext_In1_Sync,
				Ext_In2_FLTx3,
				Ext_In2_Sync,
			//Out
				O1_FLTx3,
				O1_Sync
			);
endmodule
//----------------------------------------------------------

